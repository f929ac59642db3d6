<html>
<head><meta charset="utf-8"><title>作物と用途の農薬</title></head>
<body>
<h3>作物と用途の農薬</h3>
<p>作物名に挙げた作物に登録のある、用途の農薬を登録番号順に一覧します。剤型を書けばその剤型だけにします。</p>
<ul>
<li>作物名: 「作物名」ボタンで選ぶか、作物名をカンマで区切って書きます(必須)。</li>
<li>用途: 殺虫剤、殺菌剤などを選びます(必須)。</li>
<li>剤型: 水和剤、乳剤などを選びます(任意)。</li>
</ul>
<pre>
#template {
SELECT DISTINCT bango, tsusho, meisho, yoto, zaikei, sakumotsu
FROM tekiyo
WHERE sakumotsu IN (<sakumotsu>)
  AND yoto IN (<yoto>)
--  AND zaikei IN (<zaikei>)
ORDER BY bango, sakumotsu;
}
#default {
sakumotsu = "きゅうり"
yoto = "殺菌剤"
}
</pre>
</body>
</html>
