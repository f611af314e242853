-- 增益監控: demo add-on for the Quorvane add-on manager
BuffMonitor = BuffMonitor or {}

function BuffMonitor.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function BuffMonitor.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "增益監控 已載入\n")
  end
end
