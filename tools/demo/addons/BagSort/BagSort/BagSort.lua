-- 背包整理: demo add-on for the Quorvane add-on manager
BagSort = BagSort or {}

function BagSort.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function BagSort.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "背包整理 已載入\n")
  end
end
