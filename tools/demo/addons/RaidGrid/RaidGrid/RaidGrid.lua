-- 團隊面板: demo add-on for the Quorvane add-on manager
RaidGrid = RaidGrid or {}

function RaidGrid.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function RaidGrid.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "團隊面板 已載入\n")
  end
end
