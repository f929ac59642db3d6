#include "frontend/frm_zaikei.h"

TfrmZaikei::TfrmZaikei(QWidget* Owner)
    : TCheckPicker(Owner, "剤型選択", "lstZaikei",
                   {"粉剤", "粉粒剤", "粒剤", "乳剤", "水和剤", "水溶剤", "液剤", "マイクロカプセル剤", "エアゾル",
                    "塗布剤", "ペースト剤", "くん煙剤", "くん蒸剤", "油剤", "農薬肥料", "その他"},
                   QSize(296, 291)) {
  setObjectName("frmZaikei");
  lstZaikei = List;
}
