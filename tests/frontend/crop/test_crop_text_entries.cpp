// Crop text as a user types it into the entries that take it, on the sample register: search
// words that normalise to nothing ("ー", "ｰ") and brackets of no expected form ("x栽培)",
// "x栽培）", a lone bracket), in the crop frame's and the crop picker's search boxes in every
// match mode and in the pest pickers' crop search. None of them may raise, show an SQL error
// or find more than the words they hold.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>

#include "database/sakumotsu_list.h"
#include "foundation/check_list_box_ex.h"
#include "frontend/console/frm_byochu.h"
#include "frontend/crop/crop_chooser_views.h"
#include "frontend/crop/crop_search_fixture.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_sakubyochu.h"

namespace {

std::vector<std::string> Names(const TCropResultList* l) {
  std::vector<std::string> out;
  for (int i = 0; i < l->topLevelItemCount(); ++i) out.push_back(TCropResultList::RecordOf(l->topLevelItem(i))->sakumotsu);
  return out;
}

std::vector<std::string> Items(const TCheckListBoxEx* l) {
  std::vector<std::string> out;
  for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
  return out;
}

// Typed text that must find exactly what the words beside it find.
const struct {
  const char* typed;
  const char* same;
} kLikeWords[] = {
    {"トマト ー", "トマト"},
    {"トマト ｰ", "トマト"},
    {"トマト ー なす", "トマト なす"},
    {"ー トマト,ｰ", "トマト"},
    {"( ー", "("},
};

// Typed text of no expected form: found or not, never an error.
const char* const kMalformed[] = {"x栽培)", "x栽培）", "トマト栽培）", "トマト(施設栽培", "トマト（施設栽培", "（", ")", "栽培）（"};

}  // namespace

// The crop frame's search box, forward and broad match, typed and sent with Enter.
TEST(CropTextEntries, FrameSearchBoxInBothModes) {
  OPEN_CROP_TAB(t);
  TfraSakumotsuBase fr;
  fr.SetDatabase([] { return AcisDB.get(); });
  fr.pgSakumotsu->setCurrentIndex(1);
  fr.actCheckUpperList->setChecked(false);
  fr.show();
  auto search = [&](const char* text) {
    fr.edtInput->setText(QString::fromUtf8(text));
    QTest::keyClick(fr.edtInput, Qt::Key_Return);
    return Names(fr.lvSakumotsu);
  };
  TCropTab::Sink().Clear();
  for (bool forward : {true, false}) {
    if (fr.ForwardMatch != forward) (forward ? fr.actForwardMatch : fr.actBroadMatch)->trigger();
    ASSERT_EQ(fr.ForwardMatch, forward);
    for (const auto& c : kLikeWords) EXPECT_EQ(search(c.typed), search(c.same)) << c.typed << " forward " << forward;
    EXPECT_EQ(search("トマト ー").size(), forward ? 2u : 3u);
    // Only such words: nothing is found, and the crop text stays.
    search("トマト");
    const std::string selection = fr.Selection;
    for (const char* none : {"ー", "ｰ ー", " ー　"}) {
      EXPECT_TRUE(search(none).empty()) << none;
      EXPECT_EQ(fr.Selection, selection) << none;
    }
    for (const char* text : kMalformed) search(text);
  }
  EXPECT_EQ(TCropTab::Sink().Count(), 0u) << TCropTab::LastMessage();
}

// The crop picker's search box with each of its three match modes.
TEST(CropTextEntries, PickerSearchBoxInEveryMode) {
  OPEN_CROP_TAB(t);
  QLineEdit target;
  TDlgSakumotsu p(t.W.get());
  p.Mode = 2;
  p.TargetEdit = &target;
  p.PageControl->setCurrentIndex(1);
  auto search = [&](const char* text) {
    p.edtInput->setText(QString::fromUtf8(text));
    p.bSearchClick();
    return Names(p.lvSakumotsu);
  };
  TCropTab::Sink().Clear();
  for (QRadioButton* mode : {p.rbPrefix, p.rbBroad, p.rbExact}) {
    mode->setChecked(true);
    const std::string name = mode->text().toStdString();
    for (const auto& c : kLikeWords) {
      if (mode != p.rbExact) {
        EXPECT_EQ(search(c.typed), search(c.same)) << c.typed << " " << name;
      }
    }
    EXPECT_FALSE(search("トマト ー").empty()) << name;
    EXPECT_TRUE(search("ー").empty()) << name;
    for (const char* text : kMalformed) search(text);
  }
  EXPECT_EQ(TCropTab::Sink().Count(), 0u) << TCropTab::LastMessage();
}

// The crop search of the pest filter picker and of the template's pest picker.
TEST(CropTextEntries, PestPickersCropSearch) {
  OPEN_CROP_TAB(t);
  TCropTab::Sink().Clear();
  TfrmSakuByochu filter(t.W.get());
  TfrmByochu tpl(t.W.get());
  auto viaFilter = [&](const char* text) {
    filter.edtInput->setText(QString::fromUtf8(text));
    filter.SearchSakumotsu();
    return Items(filter.lstSakumotu);
  };
  auto viaTemplate = [&](const char* text) {
    tpl.edtInput->setText(QString::fromUtf8(text));
    tpl.SearchSakumotsu();
    return Items(tpl.lstSakumotsu);
  };
  for (const auto& search : {std::function<std::vector<std::string>(const char*)>(viaFilter),
                             std::function<std::vector<std::string>(const char*)>(viaTemplate)}) {
    ASSERT_FALSE(search("芝").empty());
    EXPECT_EQ(search("芝 ー"), search("芝"));
    // Only words that normalise to nothing, or blanks: nothing is listed.
    for (const char* none : {"ー", "ｰ ー", "  "}) EXPECT_TRUE(search(none).empty()) << none;
    for (const char* text : kMalformed) search(text);
  }
  for (const auto& m : TCropTab::Sink().Messages()) EXPECT_NE(m.caption, "SQL エラー") << m.text;
}
