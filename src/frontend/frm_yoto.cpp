#include "frontend/frm_yoto.h"

TfrmYoto::TfrmYoto(QWidget* Owner)
    : TCheckPicker(Owner, "用途選択", "lstYoto",
                   {"殺虫剤", "殺虫殺菌剤", "殺菌剤", "殺菌植調剤", "殺菌除草剤", "除草剤", "植物成長調整剤", "殺そ剤",
                    "農薬肥料", "その他"},
                   QSize(278, 271)) {
  setObjectName("frmYoto");
  lstYoto = List;
}
