-- 地圖標記: demo add-on for the Quorvane add-on manager
MapMarker = MapMarker or {}

function MapMarker.OnFrameCreate()
  this:RegisterEvent("PLAYER_ENTER_GAME")
end

function MapMarker.OnEvent(event)
  if event == "PLAYER_ENTER_GAME" then
    OutputMessage("MSG_SYS", "地圖標記 已載入\n")
  end
end
