#pragma once
// TFormPanel: a panel that hosts another top-level form, chosen by object name (FormName) or
// window caption (FormCaption) among the application's top-level widgets.  Hosting strips the
// form of its frame and puts it into the panel, filling it; a hosted main window's menus are
// added to the owning main window's menu bar.  Releasing gives the form back its parent,
// window flags and menus.
#include <QFrame>
#include <QList>
#include <QPointer>

class QAction;
class QVBoxLayout;

class TFormPanel : public QFrame {
  Q_OBJECT

 public:
  explicit TFormPanel(QWidget* parent = nullptr);
  ~TFormPanel() override;

  QString FormName() const { return FFormName; }
  QString FormCaption() const { return FFormCaption; }
  void SetFormName(const QString& name);
  void SetFormCaption(const QString& caption);
  QWidget* HostedForm() const { return FForm; }
  // While loading, names are only remembered; EndLoad applies them.
  void BeginLoad() { FLoading = true; }
  void EndLoad();

 private:
  void Apply(QWidget* form);
  void Release();
  QWidget* FindForm() const;

  QString FFormName, FFormCaption;
  bool FLoading = false;
  QPointer<QWidget> FForm;
  QWidget* FInner;
  QVBoxLayout* FLayout;
  // Remembered state of the hosted form.
  QPointer<QWidget> FOldParent;
  Qt::WindowFlags FOldFlags;
  QList<QAction*> FMergedMenus;
};
