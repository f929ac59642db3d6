#include "output/acis_post_lookup.h"

#include "foundation/message_sink.h"
#include "foundation/public_service.h"
#include "foundation/text_utils.h"
#include "output/frm_web_browser.h"
#include "output/web_lookup.h"

namespace {

// The fields of the service's search form after the registration number, empty.
constexpr const char* kEmptyFields[] = {
    "skko.value=0&",          "trk_date_gyymmddformat=&", "yuko_date_gyymmddformat=&", "nyk_syu_name=&",
    "nyk_name=&",             "syh_name=&",               "syh_jki_name=&",            "yuko_kgk_name=&",
    "yuko_nd_num_from=&",     "yuko_nd_num_to=&",         "snt_sebn_name=&",           "snt_sebn_nd_num_from=&",
    "snt_sebn_nd_num_to=&",   "tkyo_name=&",              "syh_mk_name=&",             "hzai_syo_num=&",
    "snsya_name=&",           "snsya_add_name=&",         "trk_date.year=&",           "trk_date.month=&",
    "trk_date.day=&",         "yuko_date.year=&",         "yuko_date.month=&",         "yuko_date.day=&",
    "skmt[0].value=&",        "skmt[0].label=&",          "byg[0].value=&",            "byg[0].label=&",
    "zai.value=&",            "zai.label=",
};

}  // namespace

bool RegistrationNumberDigits(const std::string& cell, std::string& digits) {
  std::string s = ZenToHanAscii(cell);
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  s = s.substr(b, e - b);
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  digits = s;
  return true;
}

std::string AcisPostUrl(TAcisPostLookup kind) {
  return PublicServiceBase() + (kind == TAcisPostLookup::TourokuTbl ? "/search/vtllg304.do" : "/search/vtllg204.do");
}

std::string AcisPostBody(TAcisPostLookup kind, const std::string& digits, const std::string& productName) {
  std::string body = kind == TAcisPostLookup::TourokuTbl ? "currentPage=0&clickTrk_no=" : "currentTag=0&clickTrk_no=";
  body += digits + "&" + "trk_no=" + digits + "&";
  for (const char* field : kEmptyFields) {
    if (kind == TAcisPostLookup::Dokusei && std::string_view(field) == "nyk_name=&")
      body += "nyk_name=" + UrlEncodeBytes(Cp932FormBytes(productName)) + "&";
    else
      body += field;
  }
  return body;
}

TfrmWebBrowser* OpenAcisPostLookup(QWidget* owner, TAcisPostLookup kind, const std::string& bangoCell,
                                   const std::string& productName, const QString& caption) {
  std::string digits;
  if (!RegistrationNumberDigits(bangoCell, digits)) {
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "登録番号ではありません: 「" + bangoCell + "」");
    return nullptr;
  }
  auto* view = new TfrmWebBrowser(owner);
  view->PostUrl = QString::fromStdString(AcisPostUrl(kind));
  view->PostData = AcisPostBody(kind, digits, productName);
  view->Keyword = digits;
  view->setWindowTitle(caption);
  view->Show();
  return view;
}
