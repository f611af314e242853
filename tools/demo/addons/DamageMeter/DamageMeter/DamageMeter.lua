-- 傷害統計: demo add-on for the Quorvane add-on manager
DamageMeter = DamageMeter or {}

function DamageMeter.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function DamageMeter.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "傷害統計 已載入\n")
  end
end
