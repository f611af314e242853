-- 讀條增強: demo add-on for the Quorvane add-on manager
CastBar = CastBar or {}

function CastBar.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function CastBar.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "讀條增強 已載入\n")
  end
end
