#pragma once
// A result grid as the database's grid fill sees it.
#include <string>

#include "database/acis_fill.h"

class TXlsStringGrid;

class TXlsGridTarget : public TGridFillTarget {
 public:
  explicit TXlsGridTarget(TXlsStringGrid& Grid) : grid_(Grid) {}
  std::string GridName() const override;
  void BeginFill() override;
  void SetData(TGridData Data) override;
  void EndFill() override;

 private:
  TXlsStringGrid& grid_;
};
