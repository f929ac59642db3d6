// The options dialog's pages and controls (the values and the buttons' work are in
// frm_option_apply.cpp).
#include "frontend/frm_option.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "foundation/color_box.h"
#include "foundation/win_spin_edit.h"
#include "update/update_sources.h"

namespace {

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(name);
  return w;
}

TWinSpinEdit* Spin(QWidget* parent, const char* name, int min, int max, int step = 1) {
  auto* s = Named(new TWinSpinEdit(parent), name);
  s->SetMinValue(min);
  s->SetMaxValue(max);
  s->SetIncrement(step);
  return s;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int tag = 0) {
  auto* b = Named(new QPushButton(text, parent), name);
  b->setProperty("Tag", tag);
  b->setAutoDefault(false);
  return b;
}

// Lets a folder dropped from a file manager fill a line edit.
class TFolderDrop : public QObject {
 public:
  explicit TFolderDrop(QLineEdit* edit) : QObject(edit), edit_(edit) { edit->setAcceptDrops(true); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != edit_) return false;
    if (event->type() == QEvent::DragEnter) {
      auto* e = static_cast<QDragEnterEvent*>(event);
      if (!Folder(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      auto* e = static_cast<QDropEvent*>(event);
      const QString f = Folder(e->mimeData());
      if (!f.isEmpty()) {
        edit_->setText(f);
        e->acceptProposedAction();
        return true;
      }
    }
    return false;
  }

 private:
  static QString Folder(const QMimeData* m) {
    if (!m || !m->hasUrls() || m->urls().isEmpty()) return {};
    const QString path = m->urls().first().toLocalFile();
    return QFileInfo(path).isDir() ? path : QString();
  }
  QLineEdit* edit_;
};

}  // namespace

TfrmOption::TfrmOption(QWidget* parent) : QDialog(parent) {
  setObjectName("frmOption");
  setWindowTitle("設定");
  if (parent) setFont(parent->font());
  auto* layout = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  // Every page's tab in sight: the dialog is never narrower than its tabs.
  PageControl1->tabBar()->setUsesScrollButtons(false);
  PageControl1->tabBar()->setElideMode(Qt::ElideNone);
  layout->addWidget(PageControl1, 1);
  BuildViewPage();
  BuildNetworkPage();
  BuildSitePage();
  BuildTekiyoPage();
  BuildSqlPage();
  BuildTabletPage();

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bOk = Button(this, "bOk", "OK", 1);
  bUpdate = Button(this, "bUpdate", "適用");
  bCancel = Button(this, "bCancel", "キャンセル");
  bOk->setDefault(true);
  for (QPushButton* b : {bOk, bUpdate, bCancel}) bottom->addWidget(b);
  layout->addLayout(bottom);

  connect(bOk, &QPushButton::clicked, this, [this] { Apply(true); });
  connect(bUpdate, &QPushButton::clicked, this, [this] { Apply(false); });
  connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmOption::BuildViewPage() {
  tabView = Named(new QWidget, "tabView");
  PageControl1->addTab(tabView, "表示");
  auto* g = new QGridLayout(tabView);
  int row = 0;
  // A sample edit with its font and (optional) colour button.
  auto sample = [&](QLineEdit*& edit, const char* name, const QString& text, QPushButton*& font, const char* fontName,
                    int tag, QPushButton** color, const char* colorName) {
    edit = Named(new QLineEdit(text, tabView), name);
    font = Button(tabView, fontName, "フォント", tag);
    g->addWidget(edit, row, 0);
    g->addWidget(font, row, 1);
    if (color) {
      *color = Button(tabView, colorName, "背景色", tag);
      g->addWidget(*color, row, 2);
    }
    ++row;
  };
  sample(eTekiyou, "eTekiyou", "適用表示グリッド", bFont1_, "bFont1_", 1, &bColor1_, "bColor1_");
  ckTekiyouEveryOtherLine = Named(new QCheckBox("１行おきに変える", tabView), "ckTekiyouEveryOtherLine");
  g->addWidget(ckTekiyouEveryOtherLine, row++, 0, 1, 3);
  sample(eTekiyou2, "eTekiyou2", "偶数行", bFont2, "bFont2", 2, &bColor2, "bColor2");
  eTekiyou2->setReadOnly(true);  // a sample only: typing is refused
  sample(eLog, "eLog", "ログペイン", bFont4, "bFont4", 4, &bColor4, "bColor4");
  sample(eMain, "eMain", "基本フォント", bFontMain, "bFontMain", 6, nullptr, nullptr);
  sample(eSeibun, "eSeibun", "有効成分グリッド", bSeibun, "bSeibun", 3, nullptr, nullptr);
  sample(eEdit, "eEdit", "入力ボックスフォント", bEditFont, "bEditFont", 5, nullptr, nullptr);

  ckToolBarFlat = Named(new QCheckBox("ツールバーフラット", tabView), "ckToolBarFlat");
  ckToolbarCaption = Named(new QCheckBox("ボタンの文字を表示", tabView), "ckToolbarCaption");
  g->addWidget(ckToolBarFlat, row, 0);
  g->addWidget(ckToolbarCaption, row++, 1, 1, 2);

  // Each list and the indent box sit 4 pixels right of their label.
  auto labelled = [&](QLabel*& label, const char* labelName, const QString& text, QWidget* field) {
    label = Named(new QLabel(text, tabView), labelName);
    auto* h = new QHBoxLayout;
    h->setSpacing(4);
    h->addWidget(label);
    h->addWidget(field);
    h->addStretch(1);
    g->addLayout(h, row++, 0, 1, 3);
  };
  cbMenuImageSize = Named(new QComboBox(tabView), "cbMenuImageSize");
  cbMenuImageSize->addItems({"標準(16px)", "やや広く(24px)", "広く(36px)", "最大(48px)"});
  labelled(lblMenuImageSize, "lblMenuImageSize", "メニューのアイコン", cbMenuImageSize);
  cbBtnImageSize = Named(new QComboBox(tabView), "cbBtnImageSize");
  cbBtnImageSize->addItems({"標準(16px)", "やや大きく(24px)", "大きく(36px)", "特大(48px)"});
  labelled(lblBtnImageSize, "lblBtnImageSize", "ボタンのアイコン", cbBtnImageSize);
  seTreeIndent = Spin(tabView, "seTreeIndent", 19, 48);
  labelled(lblTreeIndent, "lblTreeIndent", "作物ツリーの字下げ", seTreeIndent);

  btnDefaultView = Button(tabView, "btnDefaultView", "標準に戻す");
  g->addWidget(btnDefaultView, row++, 0);
  g->setRowStretch(row, 1);

  for (QPushButton* b : {bFont1_, bFont2, bSeibun, bFont4, bEditFont, bFontMain})
    connect(b, &QPushButton::clicked, this, [this, b] { FontButtonClick(b->property("Tag").toInt()); });
  for (QPushButton* b : {bColor1_, bColor2, bColor4})
    connect(b, &QPushButton::clicked, this, [this, b] { ColorButtonClick(b->property("Tag").toInt()); });
  connect(ckTekiyouEveryOtherLine, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  connect(btnDefaultView, &QPushButton::clicked, this, [this] { btnDefaultViewClick(); });
}

void TfrmOption::BuildNetworkPage() {
  tabNetwork = Named(new QWidget, "tabNetwork");
  PageControl1->addTab(tabNetwork, "接続");
  auto* g = new QGridLayout(tabNetwork);
  int row = 0;
  cbBufferSize = Named(new QComboBox(tabNetwork), "cbBufferSize");
  cbBufferSize->addItems({"大きい", "中くらい", "小さい"});
  g->addWidget(new QLabel("受信バッファ", tabNetwork), row, 0);
  g->addWidget(cbBufferSize, row++, 1);
  eTimeOut = Spin(tabNetwork, "eTimeOut", 0, 30000, 1000);
  g->addWidget(new QLabel("接続タイムアウト", tabNetwork), row, 0);
  g->addWidget(eTimeOut, row, 1);
  g->addWidget(new QLabel("ミリ秒（0 でOSの規定値を使用）", tabNetwork), row++, 2);
  eReceiveTimeOut = Spin(tabNetwork, "eReceiveTimeOut", 0, 30000, 1000);
  g->addWidget(new QLabel("受信タイムアウト", tabNetwork), row, 0);
  g->addWidget(eReceiveTimeOut, row, 1);
  g->addWidget(new QLabel("ミリ秒（0 でOSの規定値を使用）", tabNetwork), row++, 2);
  ckOoConnect = Named(new QCheckBox("オフライン状態でも接続する", tabNetwork), "ckOoConnect");
  g->addWidget(ckOoConnect, row++, 0, 1, 3);

  ckUseProxyAuth = Named(new QCheckBox("プロキシ認証を使う", tabNetwork), "ckUseProxyAuth");
  g->addWidget(ckUseProxyAuth, row++, 0, 1, 3);
  edtProxyUsername = Named(new QLineEdit(tabNetwork), "edtProxyUsername");
  edtProxyPassword = Named(new QLineEdit(tabNetwork), "edtProxyPassword");
  edtProxyPassword->setEchoMode(QLineEdit::Password);
  g->addWidget(new QLabel("ユーザー名", tabNetwork), row, 0);
  g->addWidget(edtProxyUsername, row++, 1, 1, 2);
  g->addWidget(new QLabel("パスワード", tabNetwork), row, 0);
  g->addWidget(edtProxyPassword, row++, 1, 1, 2);

  ckProxyManual = Named(new QCheckBox("プロキシを手動設定する", tabNetwork), "ckProxyManual");
  g->addWidget(ckProxyManual, row++, 0, 1, 3);
  edtProxyName = Named(new QLineEdit(tabNetwork), "edtProxyName");
  edtProxyBypass = Named(new QLineEdit(tabNetwork), "edtProxyBypass");
  g->addWidget(new QLabel("サーバ名", tabNetwork), row, 0);
  g->addWidget(edtProxyName, row++, 1, 1, 2);
  g->addWidget(new QLabel("例外", tabNetwork), row, 0);
  g->addWidget(edtProxyBypass, row++, 1, 1, 2);
  g->setRowStretch(row, 1);
  g->setColumnStretch(2, 1);

  for (QCheckBox* c : {ckUseProxyAuth, ckProxyManual})
    connect(c, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
}

void TfrmOption::BuildSitePage() {
  TabSheet1 = Named(new QWidget, "TabSheet1");
  PageControl1->addTab(TabSheet1, "ダウンロードサイト");
  auto* v = new QVBoxLayout(TabSheet1);
  rgDownSite = Named(new QGroupBox("データの取得元", TabSheet1), "rgDownSite");
  rgDownSiteButtons = new QButtonGroup(this);
  auto* sites = new QVBoxLayout(rgDownSite);
  static const char* const kItems[5] = {
      "FAMIC 農薬登録情報 CSV データ",
      "FAMIC 農薬登録情報 Excel データ",
      "Vesk ミラーサイト CSV データ",
      "Vesk ミラーサイト SQLite データベース",
      "独自接続サイト",
  };
  for (int i = 0; i < 5; ++i) {
    auto* r = new QRadioButton(kItems[i], rgDownSite);
    r->setObjectName(QString("rgDownSite%1").arg(i));
    rgDownSiteButtons->addButton(r, i);
    sites->addWidget(r);
  }
  auto* mirror = new QHBoxLayout;
  mirror->addWidget(new QLabel("ミラーサイト", rgDownSite));
  cbVeskDBSite = Named(new QComboBox(rgDownSite), "cbVeskDBSite");
  for (int i = 0; i < 4; ++i) cbVeskDBSite->addItem(QString::fromStdString(MirrorDisplayName(i)));
  mirror->addWidget(cbVeskDBSite, 1);
  sites->addLayout(mirror);
  auto* user = new QHBoxLayout;
  lblSite = Named(new QLabel("独自接続サイトURL", rgDownSite), "lblSite");
  eUserSite = Named(new QLineEdit(rgDownSite), "eUserSite");
  user->addWidget(lblSite);
  user->addWidget(eUserSite, 1);
  sites->addLayout(user);
  v->addWidget(rgDownSite);

  auto* lan = new QGridLayout;
  ckUseLAN = Named(new QCheckBox("共有フォルダからデータを取得する", TabSheet1), "ckUseLAN");
  lan->addWidget(ckUseLAN, 0, 0, 1, 3);
  lblFolder = Named(new QLabel("共有フォルダ名", TabSheet1), "lblFolder");
  edtSharedFolder = Named(new QLineEdit(TabSheet1), "edtSharedFolder");
  edtSharedFolder->installEventFilter(new TFolderDrop(edtSharedFolder));
  btnBrowse = Button(TabSheet1, "btnBrowse", "参照");
  lan->addWidget(lblFolder, 1, 0);
  lan->addWidget(edtSharedFolder, 1, 1);
  lan->addWidget(btnBrowse, 1, 2);
  ckNoUpdateCheck = Named(new QCheckBox("データ更新時に確認ダイアログを出さない", TabSheet1), "ckNoUpdateCheck");
  lan->addWidget(ckNoUpdateCheck, 2, 0, 1, 3);
  lan->addWidget(new QLabel("ダウンロードフォルダ", TabSheet1), 3, 0);
  edtSaveFolder = Named(new QLineEdit(TabSheet1), "edtSaveFolder");
  btnSaveFolder = Button(TabSheet1, "btnSaveFolder", "参照");
  lan->addWidget(edtSaveFolder, 3, 1);
  lan->addWidget(btnSaveFolder, 3, 2);
  ckRelativePath = Named(new QCheckBox("相対パス", TabSheet1), "ckRelativePath");
  lan->addWidget(ckRelativePath, 4, 1);
  lan->setColumnStretch(1, 1);
  v->addLayout(lan);
  v->addStretch(1);

  connect(rgDownSiteButtons, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) UpdateEnabled();
  });
  connect(ckUseLAN, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
  connect(btnSaveFolder, &QPushButton::clicked, this, [this] { btnSaveFolderClick(); });
  connect(ckRelativePath, &QCheckBox::clicked, this, [this] { ckRelativePathClick(); });
}

void TfrmOption::BuildTekiyoPage() {
  tabTekiyo = Named(new QWidget, "tabTekiyo");
  PageControl1->addTab(tabTekiyo, "適用データ");
  auto* g = new QGridLayout(tabTekiyo);
  seGridMaxWidth = Spin(tabTekiyo, "seGridMaxWidth", 0, 640, 10);
  seGridLineSpace = Spin(tabTekiyo, "seGridLineSpace", 0, 12, 2);
  seGridLineAddSpace = Spin(tabTekiyo, "seGridLineAddSpace", 0, 6);
  g->addWidget(new QLabel("列の最大幅（0で制限なし）", tabTekiyo), 0, 0);
  g->addWidget(seGridMaxWidth, 0, 1);
  g->addWidget(new QLabel("行間", tabTekiyo), 1, 0);
  g->addWidget(seGridLineSpace, 1, 1);
  g->addWidget(new QLabel("行の高さに加える幅", tabTekiyo), 2, 0);
  g->addWidget(seGridLineAddSpace, 2, 1);
  g->addWidget(new QLabel("エクスポート用スタイルシート", tabTekiyo), 3, 0);
  edtExportssCss = Named(new QLineEdit(tabTekiyo), "edtExportssCss");
  btnExportssCss = Button(tabTekiyo, "btnExportssCss", "参照");
  g->addWidget(edtExportssCss, 3, 1);
  g->addWidget(btnExportssCss, 3, 2);
  g->setRowStretch(4, 1);
  g->setColumnStretch(1, 1);
  connect(btnExportssCss, &QPushButton::clicked, this, [this] { btnExportssCssClick(); });
}

void TfrmOption::BuildSqlPage() {
  tabSQLEdit = Named(new QWidget, "tabSQLEdit");
  PageControl1->addTab(tabSQLEdit, "SQLエディタ");
  auto* g = new QGridLayout(tabSQLEdit);
  int row = 0;
  eSQLEdit = Named(new QLineEdit("SQLエディタ", tabSQLEdit), "eSQLEdit");
  bFont3 = Button(tabSQLEdit, "bFont3", "フォント", 7);
  bColor3 = Button(tabSQLEdit, "bColor3", "背景色", 7);
  g->addWidget(eSQLEdit, row, 0, 1, 2);
  g->addWidget(bFont3, row, 2);
  g->addWidget(bColor3, row++, 3);
  // One highlighter style per row: its colour and its style boxes.
  auto style = [&](const QString& text, TColorBox*& color, const char* colorName, QCheckBox*& bold,
                   const char* boldName, QCheckBox** italic = nullptr, const char* italicName = nullptr) {
    g->addWidget(new QLabel(text, tabSQLEdit), row, 0);
    color = Named(new TColorBox(tabSQLEdit), colorName);
    g->addWidget(color, row, 1);
    bold = Named(new QCheckBox("太字", tabSQLEdit), boldName);
    g->addWidget(bold, row, 2);
    if (italic) {
      *italic = Named(new QCheckBox("斜体", tabSQLEdit), italicName);
      g->addWidget(*italic, row, 3);
    }
    ++row;
  };
  style("キーワード", cbSQLKeywordColor, "cbSQLKeywordColor", ckSQLKeywordBold, "ckSQLKeywordBold");
  style("コメント", cbSQLCommentColor, "cbSQLCommentColor", ckSQLCommentBold, "ckSQLCommentBold", &ckSQLCommentItalic,
        "ckSQLCommentItalic");
  style("関数", cbSQLFunctionColor, "cbSQLFunctionColor", ckSQLFunctionBold, "ckSQLFunctionBold");
  style("データ型", cbSQLDatatypeColor, "cbSQLDatatypeColor", ckSQLDatatypeBold, "ckSQLDatatypeBold");
  style("テーブル名", cbTableNameColor, "cbTableNameColor", ckTableNameBold, "ckTableNameBold");
  style("PL/SQL", cbSQLPLsqlColor, "cbSQLPLsqlColor", ckSQLPLsqlBold, "ckSQLPLsqlBold");
  style("ウィンドウ関数", cbSQLWindowFunctionColor, "cbSQLWindowFunctionColor", ckSQLWindowFunctionBold,
        "ckSQLWindowFunctionBold");
  style("Pragma 文", cbSQLPragmasColor, "cbSQLPragmasColor", ckSQLPragmasBold, "ckSQLPragmasBold");

  seLineSpacing = Spin(tabSQLEdit, "seLineSpacing", 0, 20);
  g->addWidget(new QLabel("行間", tabSQLEdit), row, 0);
  g->addWidget(seLineSpacing, row++, 1);
  ckShowLineNumber = Named(new QCheckBox("行番号を表示する", tabSQLEdit), "ckShowLineNumber");
  g->addWidget(ckShowLineNumber, row++, 0, 1, 4);
  seRightEdge = Spin(tabSQLEdit, "seRightEdge", 0, 1000);
  g->addWidget(new QLabel("縦線を表示する桁数（0で非表示）", tabSQLEdit), row, 0);
  g->addWidget(seRightEdge, row++, 1);
  ckWordwrap = Named(new QCheckBox("右端で折り返し", tabSQLEdit), "ckWordwrap");
  g->addWidget(ckWordwrap, row++, 0, 1, 4);
  g->setRowStretch(row, 1);
  g->setColumnStretch(1, 1);

  connect(bFont3, &QPushButton::clicked, this, [this] { FontButtonClick(7); });
  connect(bColor3, &QPushButton::clicked, this, [this] { ColorButtonClick(7); });
}

void TfrmOption::BuildTabletPage() {
  TabSheet2 = Named(new QWidget, "TabSheet2");
  PageControl1->addTab(TabSheet2, "タブレット");
  auto* g = new QGridLayout(TabSheet2);
  ckTabletOn = Named(new QCheckBox("タブレットモードで起動する(実験中)", TabSheet2), "ckTabletOn");
  g->addWidget(ckTabletOn, 0, 0, 1, 2);
  seSplitterWidth = Spin(TabSheet2, "seSplitterWidth", 2, 20);
  seTabHeight = Spin(TabSheet2, "seTabHeight", 0, 60);
  g->addWidget(new QLabel("分割バーの幅", TabSheet2), 1, 0);
  g->addWidget(seSplitterWidth, 1, 1);
  g->addWidget(new QLabel("タブの高さ", TabSheet2), 2, 0);
  g->addWidget(seTabHeight, 2, 1);
  g->setRowStretch(3, 1);
  g->setColumnStretch(2, 1);
}

QLineEdit* TfrmOption::Sample(int Tag) const {
  switch (Tag) {
    case 1: return eTekiyou;
    case 2: return eTekiyou2;
    case 3: return eSeibun;
    case 4: return eLog;
    case 5: return eEdit;
    case 6: return eMain;
    case 7: return eSQLEdit;
    default: return nullptr;
  }
}
