-- 任務助手: demo add-on for the Quorvane add-on manager
QuestHelper = QuestHelper or {}

function QuestHelper.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function QuestHelper.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "任務助手 已載入\n")
  end
end
