<!DOCTYPE html>
<html lang="zh-Hant">
<head>
<meta charset="utf-8">
<title>Quorvane 插件中心</title>
<style>
body { margin: 0; font-family: "Microsoft JhengHei", "WenQuanYi Micro Hei", sans-serif; font-size: 12px;
       background: #2b3a4a; color: #f0e6c8; }
div { padding: 6px 10px; }
a { color: #ffd479; }
</style>
</head>
<body>
<div><b>Quorvane 插件中心</b>（示範伺服器）：本週新增「目標焦點」與「讀條增強」。
<a href="/home">前往首頁</a> · <a href="/forum">討論區</a></div>
</body>
</html>
