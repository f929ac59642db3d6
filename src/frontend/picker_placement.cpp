#include "frontend/picker_placement.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <exception>
#include <set>

#include "database/acis_db.h"
#include "database/clause_builders.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"

namespace {

TPickerModalHook& Hook() {
  static TPickerModalHook hook;
  return hook;
}

}  // namespace

QPoint PickerPosition(QPoint At, QSize Size, const QRect& Screen) {
  if (!Screen.isValid()) return At;
  QPoint p = At;
  const int overRight = p.x() + Size.width() - (Screen.x() + Screen.width());
  if (overRight > 0) p.rx() -= overRight;
  const int overBottom = p.y() + Size.height() - (Screen.y() + Screen.height());
  if (overBottom > 0) p.ry() -= overBottom;
  p.rx() = std::max(p.x(), Screen.x());
  p.ry() = std::max(p.y(), Screen.y());
  return p;
}

void PlacePickerAtButton(QWidget* Picker, const QWidget* Button) {
  if (!Picker || !Button) return;
  const QPoint at = Button->mapToGlobal(QPoint(0, Button->height()));
  QScreen* screen = QGuiApplication::screenAt(at);
  if (!screen) screen = Button->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect();
  // The frame is not known before the first show; the window size stands in for it.
  Picker->move(PickerPosition(at, Picker->size(), area));
}

int ExecPicker(QDialog& Picker) {
  if (Hook()) {
    // The hook plays the user; the picker is closed the way its buttons close it.
    const int r = Hook()(Picker);
    Picker.done(r);
    return r;
  }
  return Picker.exec();
}

TPickerModalHook SetPickerModalHook(TPickerModalHook NewHook) {
  TPickerModalHook old = std::move(Hook());
  Hook() = std::move(NewHook);
  return old;
}

QSize ReadPickerSize(const std::string& WidthKey, const std::string& HeightKey, QSize Default) {
  if (!OptionData) return Default;
  try {
    TIniFile ini(OptionData->IniFileName);
    return QSize(std::max(50, ini.ReadInteger(SECTION_WINDOW, WidthKey, Default.width())),
                 std::max(50, ini.ReadInteger(SECTION_WINDOW, HeightKey, Default.height())));
  } catch (const std::exception&) {
    return Default;
  }
}

void WritePickerSize(const std::string& WidthKey, const std::string& HeightKey, QSize Size) {
  if (!OptionData) return;
  try {
    TIniFile ini(OptionData->IniFileName);
    ini.WriteInteger(SECTION_WINDOW, WidthKey, Size.width());
    ini.WriteInteger(SECTION_WINDOW, HeightKey, Size.height());
    ini.UpdateFile();
  } catch (const std::exception& e) {
    MessageSink().Log(std::string("picker size not saved: ") + e.what());
  }
}

std::vector<std::string> QueryColumnUnique(const std::string& SQL, bool Warn) {
  std::vector<std::string> out;
  if (!AcisDB || !AcisDB->Query(SQL, Warn) || !AcisDB->FTbl) return out;
  std::set<std::string> seen;
  TSQLiteTbl& t = *AcisDB->FTbl;
  for (; !t.Eof(); t.Next()) {
    std::string v = t.Fields(0);
    if (seen.insert(v).second) out.push_back(std::move(v));
  }
  return out;
}

std::vector<std::string> CheckedTexts(const TCheckListBoxEx* List) {
  std::vector<std::string> out;
  for (int i = 0; i < List->count(); ++i)
    if (List->Checked(i)) out.push_back(List->item(i)->text().toStdString());
  return out;
}

void CheckAllItems(TCheckListBoxEx* List, bool On) {
  for (int i = 0; i < List->count(); ++i) List->SetChecked(i, On);
}

void CheckNamedItems(TCheckListBoxEx* List, const std::vector<std::string>& Names) {
  const std::set<std::string> wanted(Names.begin(), Names.end());
  for (int i = 0; i < List->count(); ++i) List->SetChecked(i, wanted.count(List->item(i)->text().toStdString()) > 0);
}

std::string QuotedSqlList(const std::vector<std::string>& Names) {
  std::string out;
  for (const std::string& n : Names) {
    if (!out.empty()) out += ',';
    out += SqlQuote(n);
  }
  return out;
}
