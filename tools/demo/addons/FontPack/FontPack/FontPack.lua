-- 字型美化: demo add-on for the Quorvane add-on manager
FontPack = FontPack or {}

function FontPack.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function FontPack.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "字型美化 已載入\n")
  end
end
