-- 聊天增強: demo add-on for the Quorvane add-on manager
ChatPlus = ChatPlus or {}

function ChatPlus.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function ChatPlus.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "聊天增強 已載入\n")
  end
end
