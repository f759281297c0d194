<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AlarmList</name>
    <message>
        <source>1 alarm, %1 unacknowledged</source>
        <translation>警報 1 件、未確認 %1 件</translation>
    </message>
    <message>
        <source>%1 alarms, %2 unacknowledged</source>
        <translation>警報 %1 件、未確認 %2 件</translation>
    </message>
    <message>
        <source>Minor</source>
        <translation>軽故障</translation>
    </message>
    <message>
        <source>Invalid</source>
        <translation>無効</translation>
    </message>
    <message>
        <source>Major</source>
        <translation>重故障</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>発生中</translation>
    </message>
    <message>
        <source>Cleared</source>
        <translation>復帰</translation>
    </message>
    <message>
        <source>%1 at %2</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>未確認</translation>
    </message>
    <message>
        <source>%1: %2, raised %3</source>
        <translation>%1: %2 (発生 %3)</translation>
    </message>
    <message>
        <source>Raised</source>
        <translation>発生時刻</translation>
    </message>
    <message>
        <source>Severity</source>
        <translation>重要度</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>発生元</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>警報</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>確認</translation>
    </message>
</context>
<context>
    <name>AlarmWindow</name>
    <message>
        <source>Alarms</source>
        <translation>警報一覧</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Acknowledge All</source>
        <translation>すべて確認</translation>
    </message>
</context>
<context>
    <name>Body</name>
    <message>
        <source>Exclusive Valves</source>
        <translation>排他制御されているバルブ</translation>
    </message>
    <message>
        <source>To open the exclusively controlled valves, change Settings.</source>
        <translation>排他制御されているバルブです。同時に開くには設定ファイルを変更する必要があります。</translation>
    </message>
    <message>
        <source>Remote control on</source>
        <translation>リモート制御 オン</translation>
    </message>
    <message>
        <source>Remote control off</source>
        <translation>リモート制御 オフ（ローカル制御）</translation>
    </message>
    <message>
        <source>Refused requests: %1</source>
        <translation>拒否した要求: %1 件</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>%1 に接続しています...</translation>
    </message>
    <message>
        <source>Logged in as %1</source>
        <translation>%1 としてログイン済み</translation>
    </message>
    <message>
        <source>Connection lost at %1; next attempt at %2</source>
        <translation>%1 に接続が切れました。次の再接続は %2 です</translation>
    </message>
    <message>
        <source>Connection lost at %1; no further attempts</source>
        <translation>%1 に接続が切れました。再接続は行いません</translation>
    </message>
    <message>
        <source>Cannot connect to %1; next attempt at %2</source>
        <translation>%1 に接続できません。次の再接続は %2 です</translation>
    </message>
    <message>
        <source>Cannot connect to %1; no further attempts</source>
        <translation>%1 に接続できません。再接続は行いません</translation>
    </message>
    <message>
        <source>Not connected to %1</source>
        <translation>%1 に接続していません</translation>
    </message>
    <message>
        <source>Not connected: nothing was sent</source>
        <translation>未接続のため、何も送信されませんでした</translation>
    </message>
    <message>
        <source>Login to %1 failed: %2; next attempt at %3</source>
        <translation>%1 へのログインに失敗しました: %2。次の再接続は %3 です</translation>
    </message>
    <message>
        <source>Login to %1 failed: %2; no further attempts</source>
        <translation>%1 へのログインに失敗しました: %2。再接続は行いません</translation>
    </message>
    <message>
        <source>Server not responding since %1; next attempt at %2</source>
        <translation>%1 からサーバーが応答しません。次の再接続は %2 です</translation>
    </message>
    <message>
        <source>Server not responding since %1; no further attempts</source>
        <translation>%1 からサーバーが応答しません。再接続は行いません</translation>
    </message>
    <message>
        <source>Server not responding: nothing was sent</source>
        <translation>サーバーが応答しないため、何も送信されませんでした</translation>
    </message>
    <message>
        <source>Key file %1 not found: logging in with an empty key</source>
        <translation>キーファイル %1 が見つかりません。空のキーでログインします</translation>
    </message>
    <message>
        <source>Key file %1 holds no key: logging in with an empty key</source>
        <translation>キーファイル %1 にキーがありません。空のキーでログインします</translation>
    </message>
    <message>
        <source>Record rows not written: %1</source>
        <translation>記録ファイルに書き込めなかった行: %1</translation>
    </message>
    <message>
        <source>%1 (since %2)</source>
        <translation>%1 (%2 から)</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>全停止</translation>
    </message>
    <message>
        <source>Not confirmed by %1</source>
        <translation>%1 から確認がありません</translation>
    </message>
    <message>
        <source>Cannot be written: what goes to it is lost</source>
        <translation>書き込めません: 書き込む内容は失われます</translation>
    </message>
    <message>
        <source>Record file</source>
        <translation>記録ファイル</translation>
    </message>
    <message>
        <source>History file</source>
        <translation>履歴ファイル</translation>
    </message>
    <message>
        <source>Double click: close</source>
        <translation>ダブルクリック: 閉</translation>
    </message>
    <message>
        <source>Double click: open</source>
        <translation>ダブルクリック: 開</translation>
    </message>
    <message>
        <source>%1 via %2: %3</source>
        <translation>%1 (%2 経由): %3</translation>
    </message>
    <message>
        <source>Opened: its exclusive partners were closed</source>
        <translation>開きました: 排他バルブを閉じました</translation>
    </message>
    <message>
        <source>Server link</source>
        <translation>サーバー接続</translation>
    </message>
    <message>
        <source>Connection to the server lost</source>
        <translation>サーバーとの接続が切れました</translation>
    </message>
    <message>
        <source>Connection lost</source>
        <translation>接続が切れました</translation>
    </message>
    <message>
        <source>Panel</source>
        <translation>パネル</translation>
    </message>
    <message>
        <source>Open the alarm list</source>
        <translation>警報一覧を開く</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>警報</translation>
    </message>
    <message>
        <source>Alarm List</source>
        <translation>警報一覧</translation>
    </message>
    <message>
        <source>History</source>
        <translation>履歴</translation>
    </message>
    <message>
        <source>%1, by %2</source>
        <translation>%1、確認者 %2</translation>
    </message>
</context>
<context>
    <name>GView</name>
    <message>
        <source>Frame</source>
        <translation>状態描画</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>未接続</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>History</source>
        <translation>履歴</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時刻</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>種類</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>発生元</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>絞り込み</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>警報発生</translation>
    </message>
    <message>
        <source>Cleared</source>
        <translation>警報復帰</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>警報確認</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>要求</translation>
    </message>
    <message>
        <source>Refused</source>
        <translation>拒否</translation>
    </message>
    <message>
        <source>Interlock</source>
        <translation>インターロック</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Timed</source>
        <translation>時間動作</translation>
    </message>
</context>
<context>
    <name>MFCC</name>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Closing</source>
        <translation>閉</translation>
    </message>
    <message>
        <source>Curr. SP</source>
        <translation>現在設定値</translation>
    </message>
    <message>
        <source>Floating</source>
        <translation>現在流量</translation>
    </message>
    <message>
        <source>Frame</source>
        <translation>マスフロ</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>MFC Name</source>
        <translation>マスフロ名</translation>
    </message>
    <message>
        <source>New SP</source>
        <translation>新設定値</translation>
    </message>
    <message>
        <source>Purge Mag.</source>
        <translation>パージ倍率</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Open while the controller&apos;s set value is above 0</source>
        <translation>コントローラーの設定値が 0 より大きい間は開</translation>
    </message>
    <message>
        <source>Measured flow the controller reports</source>
        <translation>コントローラーが報告する現在流量</translation>
    </message>
    <message>
        <source>Set point the controller is working to</source>
        <translation>コントローラーが現在制御している設定値</translation>
    </message>
    <message>
        <source>New set point; Enter or Set sends it</source>
        <translation>新しい設定値。Enter キーか「設定」で送信します</translation>
    </message>
    <message>
        <source>Purge magnification: the set point sent is multiplied by it</source>
        <translation>パージ倍率：送信する設定値にこの倍率を掛けます</translation>
    </message>
    <message>
        <source>Send the new set point to the controller</source>
        <translation>新しい設定値をコントローラーに送信します</translation>
    </message>
    <message>
        <source>Conversion factors and the values behind the display</source>
        <translation>換算係数と表示の元になっている数値</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Gas Flow Controll</source>
        <translation>ガスコントロール</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>全体停止</translation>
    </message>
    <message>
        <source>Valve Settings</source>
        <translation>バルブ設定</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>制御</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>リモート制御</translation>
    </message>
    <message>
        <source>Off: requests from other bus clients that change the plant are refused</source>
        <translation>オフ: 他のバスクライアントからのプラントを変更する要求を拒否します</translation>
        <source>Close every valve and set every MFC to 0 (F12)</source>
        <translation>すべてのバルブを閉じ、すべてのマスフロを 0 にします (F12)</translation>
        <source>View</source>
        <translation>表示</translation>
    </message>
    <message>
        <source>Flow Trends</source>
        <translation>流量トレンド</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source> or </source>
        <translation>又は</translation>
    </message>
    <message>
        <source>flowing gas through the valve [%1]</source>
        <translation>バルブ[%1]にガスが流れている</translation>
    </message>
    <message>
        <source>not flowing gas through the valve [%1]</source>
        <translation>バルブ[%1]にガスが流れていない</translation>
    </message>
</context>
<context>
    <name>StopReport</name>
    <message>
        <source>Stop All: waiting for every valve and MFC to confirm</source>
        <translation>全停止: すべてのバルブと MFC の確認を待っています</translation>
    </message>
    <message>
        <source>Stop All: no confirmation from %1</source>
        <translation>全停止: %1 から確認がありません</translation>
    </message>
    <message>
        <source>Stop All: still open, closing refused: %1</source>
        <translation>全停止: 閉条件を満たさず開いたままです: %1</translation>
    </message>
    <message>
        <source>Stop All: every valve and MFC confirmed</source>
        <translation>全停止: すべてのバルブと MFC が確認しました</translation>
    </message>
</context>
<context>
    <name>Style</name>
    <message>
        <source>Closing</source>
        <translation>Closing</translation>
    </message>
    <message>
        <source>Opening</source>
        <translation>Opening</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Cannot work in %1; files go to %2</source>
        <translation>%1 で作業できません。ファイルは %2 に書き込まれます</translation>
    </message>
    <message>
        <source>No configuration file read: cannot open %1</source>
        <translation>設定ファイルを読み込んでいません：%1 を開けません</translation>
    </message>
    <message>
        <source>No configuration file read: no file name after %1</source>
        <translation>設定ファイルを読み込んでいません：%1 の後にファイル名がありません</translation>
    </message>
    <message>
        <source>No configuration file read: none of %1 exists</source>
        <translation>設定ファイルを読み込んでいません：%1 のいずれも存在しません</translation>
    </message>
</context>
<context>
    <name>Telso</name>
    <message>
        <source>%1 %2
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot open [%1.key]</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>Flow Trends</source>
        <translation>流量トレンド</translation>
    </message>
    <message>
        <source>10 min</source>
        <translation>10分</translation>
    </message>
    <message>
        <source>1 h</source>
        <translation>1時間</translation>
    </message>
    <message>
        <source>8 h</source>
        <translation>8時間</translation>
    </message>
    <message>
        <source>24 h</source>
        <translation>24時間</translation>
    </message>
    <message>
        <source>Follow the present; zooming or panning pauses it</source>
        <translation>現在時刻を追従します。マウスでの拡大や移動で一時停止します</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>ライブ</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>開く...</translation>
    </message>
    <message>
        <source>Export PNG...</source>
        <translation>PNG出力...</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>CSV出力...</translation>
    </message>
    <message>
        <source>Curve</source>
        <translation>曲線</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>値</translation>
    </message>
    <message>
        <source>Flows</source>
        <translation>流量</translation>
    </message>
    <message>
        <source>Set values</source>
        <translation>設定値</translation>
    </message>
    <message>
        <source>Valves</source>
        <translation>バルブ</translation>
    </message>
    <message>
        <source>Open record files</source>
        <translation>記録ファイルを開く</translation>
    </message>
    <message>
        <source>Record files (*-????????.log);;All files (*)</source>
        <translation>記録ファイル (*-????????.log);;すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Export PNG</source>
        <translation>PNG出力</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG画像 (*.png)</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>%1 に書き込めません</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>CSV出力</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSVファイル (*.csv)</translation>
    </message>
    <message>
        <source>(no name)</source>
        <translation>(名前なし)</translation>
    </message>
    <message>
        <source>Cursor: %1</source>
        <translation>カーソル: %1</translation>
    </message>
    <message>
        <source>open</source>
        <translation>開</translation>
    </message>
    <message>
        <source>closed</source>
        <translation>閉</translation>
    </message>
    <message>
        <source>%1: cannot be read (%2)</source>
        <translation>%1: 読み込めません (%2)</translation>
    </message>
    <message>
        <source>cut short: %1</source>
        <translation>途中で切れた行: %1</translation>
    </message>
    <message>
        <source>not fitting their header: %1</source>
        <translation>見出しに合わない行: %1</translation>
    </message>
    <message>
        <source>not numbers: %1</source>
        <translation>数値でない値を含む行: %1</translation>
    </message>
    <message>
        <source>lines of other text: %1</source>
        <translation>その他のテキスト行: %1</translation>
    </message>
    <message>
        <source>%1: rows read: %2</source>
        <translation>%1: 読み込んだ行: %2</translation>
    </message>
    <message>
        <source>; skipped: %1</source>
        <translation>、スキップ: %1</translation>
    </message>
    <message>
        <source>; older than the row before, drawn at its time: %1</source>
        <translation>、前の行より古い行 (前の行の時刻で描画): %1</translation>
    </message>
    <message>
        <source>%1: already shown</source>
        <translation>%1: 表示済みです</translation>
    </message>
</context>
<context>
    <name>aMFC</name>
    <message>
        <source>MFC to Disp Factor = %1, Disp to MFC Factor = %2</source>
        <translation>MFCの数値から表示の数値への係数 %1, 表示の数値から MFCの数値への係数 %2</translation>
    </message>
    <message>
        <source>My Cf = %1, Cf of Gases =</source>
        <translation>このMFCのコンバージョンファクター %1, 流れているガスのコンバージョンファクター : </translation>
    </message>
    <message>
        <source>Setting SV = %1, MFC_SV = %2, MFC_PV = %3</source>
        <translation>送信設定値 = %1, MFC 設定値 = %2, MFC 現在値 = %3</translation>
    </message>
    <message>
        <source>set value %1</source>
        <translation>設定値 %1</translation>
    </message>
    <message>
        <source>Flow abnormal: measured %1 against set point %2</source>
        <translation>流量異常: 設定値 %2 に対して測定値 %1</translation>
    </message>
    <message>
        <source>%1 (since %2)</source>
        <translation>%1 (%2 から)</translation>
    </message>
    <message>
        <source>Set %1</source>
        <translation>設定 %1</translation>
    </message>
    <message>
        <source>Purge magnification %1</source>
        <translation>パージ倍率 %1</translation>
    </message>
</context>
<context>
    <name>aNode</name>
    <message>
        <source>%1: no answer from %2 to &quot;%3&quot; since %4</source>
        <translation>%1: %2 から &quot;%3&quot; への応答がありません (%4 から)</translation>
    </message>
    <message>
        <source>%1: %2 reports %3 after &quot;%4&quot; since %5</source>
        <translation>%1: &quot;%4&quot; の後も %2 は %3 と報告しています (%5 から)</translation>
    </message>
    <message>
        <source>Not connected to the server: the plant may no longer be as shown</source>
        <translation>サーバーに接続していません: プラントは表示と異なっている可能性があります</translation>
        <source>%1: &quot;%2&quot; is not a number; nothing was sent</source>
        <translation>%1: 「%2」は数値ではありません。何も送信していません</translation>
    </message>
</context>
<context>
    <name>aValve</name>
    <message>
        <source>Can&apos;t open the Valve</source>
        <translation>バルブ開禁止</translation>
    </message>
    <message>
        <source>Can&apos;t open the Valve [%1].   Since the condition &apos;%2&apos; is not fulfilled.</source>
        <translation>バルブ[%1]は、&apos;%2&apos; という条件が満たされていない為開けません。</translation>
    </message>
    <message>
        <source>Frame</source>
        <translation>バルブコントロール</translation>
    </message>
    <message>
        <source>Gas Name</source>
        <translation>ガス名</translation>
    </message>
    <message>
        <source>Line Name</source>
        <translation>ライン名</translation>
    </message>
    <message>
        <source>On/Off</source>
        <translation>開/閉</translation>
    </message>
    <message>
        <source>open</source>
        <translation>開</translation>
    </message>
    <message>
        <source>closed</source>
        <translation>閉</translation>
        <source>Open or close this valve</source>
        <translation>このバルブを開閉します</translation>
    </message>
    <message>
        <source>Time to open (minutes:seconds): counts down until the valve opens by itself; type a new time, 0 switches it off</source>
        <translation>開くまでの時間（分:秒）：バルブが自動で開くまでの残り時間です。新しい時間を入力できます。0 で無効になります</translation>
    </message>
    <message>
        <source>Time to close (minutes:seconds): counts down until the valve closes by itself; type a new time, 0 switches it off</source>
        <translation>閉じるまでの時間（分:秒）：バルブが自動で閉じるまでの残り時間です。新しい時間を入力できます。0 で無効になります</translation>
    </message>
    <message>
        <source>Close button</source>
        <translation>閉ボタン</translation>
    </message>
    <message>
        <source>Open button</source>
        <translation>開ボタン</translation>
    </message>
    <message>
        <source>Timed opening skipped: %1</source>
        <translation>時間による開をしませんでした: %1</translation>
    </message>
    <message>
        <source>Timed closing skipped: %1</source>
        <translation>時間による閉をしませんでした: %1</translation>
    </message>
    <message>
        <source>Timed opening carried out</source>
        <translation>時間による開を実行しました</translation>
    </message>
    <message>
        <source>Timed closing carried out</source>
        <translation>時間による閉を実行しました</translation>
    </message>
</context>
</TS>
