-- 目標焦點: demo add-on for the Quorvane add-on manager
TargetFocus = TargetFocus or {}

function TargetFocus.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function TargetFocus.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "目標焦點 已載入\n")
  end
end
