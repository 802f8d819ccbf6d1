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

// Whether a file starts as a saved world does, judged from its first bytes.
bool LooksLikeWorldFile(const QString& path);

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
  // "Öffnen": a saved world is offered to load as a world, a chart file (.tee) opens in a
  // chart window, the report of a forecast, comparison or calibration opens its folder as
  // "Ergebnis öffnen…" does, anything else in a text viewer.
  void OpenFile(const QString& path);

  // How a yes/no question is asked; tests answer it without a box.
  using Question = std::function<bool(const QString& text)>;
  void SetQuestion(Question ask) { ask_ = std::move(ask); }

  // What "Welt laden…" and "Welt speichern unter…" do with the chosen file.
  using WorldFileHandler = std::function<void(const QString& path)>;
  void SetWorldFiles(WorldFileHandler load, WorldFileHandler save) {
    load_world_ = std::move(load);
    save_world_ = std::move(save);
  }
  // The two commands once their file is chosen.
  void LoadWorld(const QString& path);
  void SaveWorldAs(QString path);
  // "Stadt importieren (GIS)…" and "GIS exportieren…" (once its folder is chosen).
  void SetTownCommands(std::function<void()> import, WorldFileHandler exportGis) {
    import_town_ = std::move(import);
    export_gis_ = std::move(exportGis);
  }
  void ExportGis(const QString& folder);
  // "Ergebnis öffnen…": a forecast, comparison or calibration folder.
  void SetResultHandler(WorldFileHandler open) { open_result_ = std::move(open); }
  void OpenResult(const QString& path);

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
  QString ChooseFile(const QString& caption, const QString& filter, bool save,
                     const QString& proposed = {});

  Confirmation confirm_;
  Question ask_;
  QString last_folder_;  // where the last file dialog was left
  std::function<void()> toggle_timer_;
  WorldFileHandler load_world_;
  WorldFileHandler save_world_;
  std::function<void()> import_town_;
  WorldFileHandler export_gis_;
  WorldFileHandler open_result_;
};

}  // namespace veltmoor
