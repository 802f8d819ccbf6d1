// The frame window "veltmoor": a multiple-document area hosting every other window, with the
// menus, tool bar and status bar, and the one way other windows open a further child.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <map>

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QAction;

namespace veltmoor {

struct AppContext;
class TAboutBox;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(AppContext& context, QWidget* parent = nullptr);

  // Makes a child window of a class: `create` builds one; the widget carries its class name
  // in the "windowClass" property.
  void RegisterWindowClass(const QString& className, std::function<QWidget*()> create);
  QMdiSubWindow* AddChild(QWidget* widget);

  // Open or switch: the first child of the class is offered (OK switches to it, Yes makes a
  // new one, Cancel does nothing); with none, a new one is made. Returns the window now in
  // front, or nullptr when cancelled.
  QWidget* OpenOrSwitch(const QString& className);
  // The first child of a class, or nullptr.
  QWidget* FindChildWindow(const QString& className) const;
  // Opens a child of the class when none is open, without asking and leaving the active
  // child in front (windows free themselves when closed; the work that needs one reopens it).
  void EnsureChildWindow(const QString& className);

  // How the confirmation is asked; tests answer it without a box.
  using Confirmation = std::function<QMessageBox::StandardButton(const QString& text)>;
  void SetConfirmation(Confirmation confirm) { confirm_ = std::move(confirm); }

  QMdiArea* MdiArea() const { return mdi_; }
  TAboutBox* AboutBox() const { return about_; }
  QAction* Action(const QString& name) const;  // by object name, e.g. "FileNew"

  // The tool bar's last button flips the step timer of the start-up simulation window.
  void SetTimerToggle(std::function<void()> toggle) { toggle_timer_ = std::move(toggle); }

  void OpenTextFile(const QString& path);

  // What "Welt laden…" and "Welt speichern unter…" do with the chosen file.
  using WorldFileHandler = std::function<void(const QString& path)>;
  void SetWorldFiles(WorldFileHandler load, WorldFileHandler save) {
    load_world_ = std::move(load);
    save_world_ = std::move(save);
  }

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void FillWindowMenu();
  QAction* MakeAction(const QString& name, const QString& text, const QString& hint,
                      const QKeySequence& shortcut = {});

  AppContext& context_;
  QMdiArea* mdi_;
  TAboutBox* about_;
  QMenu* window_menu_ = nullptr;
  std::map<QString, std::function<QWidget*()>> classes_;
  std::map<QString, QAction*> actions_;
  Confirmation confirm_;
  std::function<void()> toggle_timer_;
  WorldFileHandler load_world_;
  WorldFileHandler save_world_;
};

}  // namespace veltmoor
