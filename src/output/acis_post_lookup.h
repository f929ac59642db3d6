#pragma once
// The two posted look-ups of the public registration-data service: the registration table and
// the formulation toxicity of a product, shown in an HTML view.  The service's base address
// is the one the data update uses (QUILLMAR_ACIS_BASE overrides it).  The form body carries the
// registration number as digits only and the product name percent-encoded in Shift-JIS
// (CP932), the encoding the service reads.
#include <QString>

#include <string>

class QWidget;
class TfrmWebBrowser;

enum class TAcisPostLookup {
  TourokuTbl,  // registration table ("/search/vtllg304.do")
  Dokusei,     // formulation toxicity ("/search/vtllg204.do")
};

// The registration number of a cell: full-width digits made plain, blanks at both ends
// dropped; false when anything but digits is left (or nothing is).
bool RegistrationNumberDigits(const std::string& cell, std::string& digits);

// The address and the form body of a look-up (`digits` as RegistrationNumberDigits gives it;
// the name is used by the toxicity look-up only).
std::string AcisPostUrl(TAcisPostLookup kind);
std::string AcisPostBody(TAcisPostLookup kind, const std::string& digits, const std::string& productName);

// Opens the look-up in a new HTML view owned by `owner` with the caption given; nullptr, with
// a message through the sink, when the cell holds no registration number.
TfrmWebBrowser* OpenAcisPostLookup(QWidget* owner, TAcisPostLookup kind, const std::string& bangoCell,
                                   const std::string& productName, const QString& caption);
