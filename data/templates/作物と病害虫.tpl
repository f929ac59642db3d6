<html>
<head><meta charset="utf-8"><title>作物と病害虫の適用</title></head>
<body>
<h3>作物と病害虫の適用</h3>
<p>作物名に挙げた作物に、病害虫名に挙げた病害虫で登録のある適用を、農薬の通称順に一覧します。</p>
<ul>
<li>作物名: 「作物名」ボタンで選ぶか、作物名をカンマで区切って書きます(必須)。</li>
<li>病害虫名: 「病害虫名」ボタンで選ぶか、病害虫名をカンマで区切って書きます(必須)。</li>
<li>用途: 殺虫剤、殺菌剤などで絞り込むときだけ選びます(任意)。</li>
</ul>
<pre>
#template {
SELECT sakumotsu, byochu, tsusho, meisho, baisu, jiki, kaisu, yoto, bango
FROM tekiyo
WHERE sakumotsu IN (<sakumotsu>)
  AND byochu IN (<byochu>)
--  AND yoto IN (<yoto>)
ORDER BY tsusho, sakumotsu, byochu;
}
#default {
sakumotsu = "トマト"
byochu = "アブラムシ類,モモアカアブラムシ"
}
</pre>
</body>
</html>
