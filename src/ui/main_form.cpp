#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "ui/about_box.h"
#include "ui/app_context.h"
#include "ui/chart_window.h"
#include "ui/result_layer.h"
#include "ui/text_viewer.h"
#include "ui/window_arrangement.h"

namespace veltmoor {

namespace {

QMessageBox::StandardButton AskInBox(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, QStringLiteral("veltmoor"), text,
                               QMessageBox::Yes | QMessageBox::Ok | QMessageBox::Cancel,
                               QMessageBox::Ok);
}

const QString kWorldSuffix = QStringLiteral(".json");

// Cut, copy and paste act on whichever edit control has the focus.
template <typename Method>
void OnFocusedEdit(Method lineEditMethod, void (QPlainTextEdit::*textMethod)()) {
  QWidget* focus = QApplication::focusWidget();
  if (auto* line = qobject_cast<QLineEdit*>(focus)) {
    (line->*lineEditMethod)();
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
    (text->*textMethod)();
  }
}

}  // namespace

TMainForm::TMainForm(AppContext& context, QWidget* parent)
    : QMainWindow(parent), context_(context), mdi_(new QMdiArea(this)) {
  setWindowTitle(QStringLiteral("veltmoor"));
  setCentralWidget(mdi_);
  mdi_->setBackground(palette().brush(QPalette::Dark));
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  confirm_ = [this](const QString& text) { return AskInBox(this, text); };
  ask_ = [this](const QString& text) {
    return QMessageBox::question(this, QStringLiteral("veltmoor"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
  };
  last_folder_ = QDir::currentPath();
  CreateActions();
  CreateMenus();
  CreateToolBar();
  statusBar()->showMessage(QString());
  about_ = new TAboutBox(this);
  context_.frame = this;
  resize(1400, 900);
}

QAction* TMainForm::MakeAction(const QString& name, const QString& text, const QString& hint,
                               const QKeySequence& shortcut) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  // "short|long": the tool tip shows the short hint, the status bar the long one.
  const auto parts = hint.split(QLatin1Char('|'));
  action->setToolTip(parts.value(0));
  action->setStatusTip(parts.value(1, parts.value(0)));
  if (!shortcut.isEmpty()) {
    action->setShortcut(shortcut);
  }
  actions_[name] = action;
  return action;
}

QAction* TMainForm::Action(const QString& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

// One entry per menu action, in menu order; the list reads best whole.
// NOLINTNEXTLINE(readability-function-size)
void TMainForm::CreateActions() {
  QStyle* s = style();
  auto* fileNew = MakeAction(QStringLiteral("FileNew"), QStringLiteral("&Neu"),
                             QStringLiteral("Neu|Neue Datei erstellen"), QKeySequence::New);
  fileNew->setIcon(s->standardIcon(QStyle::SP_FileIcon));
  connect(fileNew, &QAction::triggered, this, [this] { OpenOrSwitch(QStringLiteral("TForm1")); });

  auto* fileOpen = MakeAction(QStringLiteral("FileOpen"), QStringLiteral("Ö&ffnen"),
                              QStringLiteral("Öffnen|Datei öffnen"), QKeySequence::Open);
  fileOpen->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
  connect(fileOpen, &QAction::triggered, this, [this] {
    const QString path =
        ChooseFile(QStringLiteral("Öffnen"), QStringLiteral("Alle Dateien (*.*)"), false);
    if (!path.isEmpty()) {
      OpenFile(path);
    }
  });

  auto* fileClose = MakeAction(QStringLiteral("FileClose"), QStringLiteral("&Schließen"),
                               QStringLiteral("Schließen|Aktuelle Datei schließen"));
  connect(fileClose, &QAction::triggered, mdi_, &QMdiArea::closeActiveSubWindow);

  auto* fileSave =
      MakeAction(QStringLiteral("FileSave"), QStringLiteral("&Speichern"),
                 QStringLiteral("Speichern|Aktuelle Datei speichern"), QKeySequence::Save);
  fileSave->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  fileSave->setEnabled(false);
  auto* fileSaveAs = MakeAction(QStringLiteral("FileSaveAs"), QStringLiteral("Speichern &unter..."),
                                QStringLiteral("Speichern unter|Aktuelle Datei unter neuem "
                                               "Namen speichern"));
  fileSaveAs->setEnabled(false);

  auto* fileExit = MakeAction(QStringLiteral("FileExit"), QStringLiteral("&Beenden"),
                              QStringLiteral("Beenden|Programm beenden"));
  connect(fileExit, &QAction::triggered, this, &QWidget::close);

  auto* cut = MakeAction(QStringLiteral("EditCut"), QStringLiteral("&Ausschneiden"),
                         QStringLiteral("Ausschneiden|Markierung in die Zwischenablage "
                                        "verschieben"),
                         QKeySequence::Cut);
  connect(cut, &QAction::triggered, this,
          [] { OnFocusedEdit(&QLineEdit::cut, &QPlainTextEdit::cut); });
  auto* copy = MakeAction(QStringLiteral("EditCopy"), QStringLiteral("&Kopieren"),
                          QStringLiteral("Kopieren|Markierung in die Zwischenablage kopieren"),
                          QKeySequence::Copy);
  connect(copy, &QAction::triggered, this,
          [] { OnFocusedEdit(&QLineEdit::copy, &QPlainTextEdit::copy); });
  auto* paste = MakeAction(QStringLiteral("EditPaste"), QStringLiteral("&Einfügen"),
                           QStringLiteral("Einfügen|Inhalt der Zwischenablage einfügen"),
                           QKeySequence::Paste);
  connect(paste, &QAction::triggered, this,
          [] { OnFocusedEdit(&QLineEdit::paste, &QPlainTextEdit::paste); });

  auto* cascade = MakeAction(QStringLiteral("WindowCascade"), QStringLiteral("Ü&berlappend"),
                             QStringLiteral("Überlappend|Fenster überlappend anordnen"));
  connect(cascade, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  auto* tileH =
      MakeAction(QStringLiteral("WindowTileHorizontal"), QStringLiteral("Hori&zontal anordnen"),
                 QStringLiteral("Horizontal anordnen|Fenster untereinander anordnen"));
  connect(tileH, &QAction::triggered, this, [this] { TileOneAboveAnother(*mdi_); });
  auto* tileV =
      MakeAction(QStringLiteral("WindowTileVertical"), QStringLiteral("&Vertikal anordnen"),
                 QStringLiteral("Vertikal anordnen|Fenster nebeneinander anordnen"));
  connect(tileV, &QAction::triggered, this, [this] { TileSideBySide(*mdi_); });
  auto* minimise =
      MakeAction(QStringLiteral("WindowMinimizeAll"), QStringLiteral("&Alle verkleinern"),
                 QStringLiteral("Alle verkleinern|Alle Fenster verkleinern"));
  connect(minimise, &QAction::triggered, this, [this] {
    // Minimising one maximised child maximises the next; brought back to normal first,
    // every child stays minimised.
    const auto children = mdi_->subWindowList();
    for (QMdiSubWindow* child : children) {
      if (child->isMaximized()) {
        child->showNormal();
      }
    }
    for (QMdiSubWindow* child : children) {
      child->showMinimized();
    }
  });
  auto* arrange = MakeAction(QStringLiteral("WindowArrangeAll"), QStringLiteral("Alle an&ordnen"),
                             QStringLiteral("Alle anordnen|Symbole anordnen"));
  connect(arrange, &QAction::triggered, this, [this] { ArrangeMinimised(*mdi_); });

  auto* helpAbout = MakeAction(QStringLiteral("HelpAbout"), QStringLiteral("&Info..."),
                               QStringLiteral("Info|Programminformationen anzeigen"));
  connect(helpAbout, &QAction::triggered, this, [this] { about_->exec(); });

  auto* loadWorld = MakeAction(QStringLiteral("WorldLoad"), QStringLiteral("&Welt laden…"),
                               QStringLiteral("Welt laden|Eine gespeicherte Welt öffnen"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  connect(loadWorld, &QAction::triggered, this, [this] {
    const QString path =
        ChooseFile(QStringLiteral("Welt laden"), QStringLiteral("Welten (*.json)"), false);
    if (!path.isEmpty()) {
      LoadWorld(path);
    }
  });
  auto* saveWorld =
      MakeAction(QStringLiteral("WorldSaveAs"), QStringLiteral("Welt spei&chern unter…"),
                 QStringLiteral("Welt speichern unter|Die Welt in eine Datei speichern"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  connect(saveWorld, &QAction::triggered, this, [this] {
    const QString path =
        ChooseFile(QStringLiteral("Welt speichern unter"), QStringLiteral("Welten (*.json)"), true,
                   QStringLiteral("world.json"));
    if (!path.isEmpty()) {
      SaveWorldAs(path);
    }
  });

  auto* importTown = MakeAction(
      QStringLiteral("TownImport"), QStringLiteral("Stadt &importieren (GIS)…"),
      QStringLiteral("Stadt importieren|Eine Stadt aus Landnutzungsraster und Straßen bauen"));
  connect(importTown, &QAction::triggered, this, [this] {
    if (import_town_) {
      import_town_();
    }
  });
  auto* exportGis =
      MakeAction(QStringLiteral("GisExport"), QStringLiteral("&GIS exportieren…"),
                 QStringLiteral("GIS exportieren|Die Welt als GeoTIFF und GeoPackage schreiben"));
  connect(exportGis, &QAction::triggered, this, [this] {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("GIS exportieren"), last_folder_);
    if (!folder.isEmpty()) {
      last_folder_ = folder;
      ExportGis(folder);
    }
  });

  auto* openResult = MakeAction(
      QStringLiteral("ResultOpen"), QStringLiteral("&Ergebnis öffnen…"),
      QStringLiteral("Ergebnis öffnen|Den Ordner einer Vorhersage, eines Vergleichs oder einer "
                     "Kalibrierung über der Stadt zeigen"));
  connect(openResult, &QAction::triggered, this, [this] {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Ergebnis öffnen"), last_folder_);
    if (!folder.isEmpty()) {
      last_folder_ = folder;
      OpenResult(folder);
    }
  });

  auto* timer = MakeAction(QStringLiteral("ToggleTimer"), QStringLiteral("Timer"),
                           QStringLiteral("Timer|Simulation anhalten oder fortsetzen"));
  timer->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
  connect(timer, &QAction::triggered, this, [this] {
    if (toggle_timer_) {
      toggle_timer_();
    }
  });
}

void TMainForm::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
  for (const char* name : {"FileNew", "FileOpen", "FileClose", "FileSave", "FileSaveAs"}) {
    file->addAction(Action(QLatin1StringView(name)));
  }
  file->addSeparator();
  file->addAction(Action(QStringLiteral("WorldLoad")));
  file->addAction(Action(QStringLiteral("WorldSaveAs")));
  file->addSeparator();
  file->addAction(Action(QStringLiteral("TownImport")));
  file->addAction(Action(QStringLiteral("GisExport")));
  file->addAction(Action(QStringLiteral("ResultOpen")));
  file->addSeparator();
  file->addAction(Action(QStringLiteral("FileExit")));
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
  for (const char* name : {"EditCut", "EditCopy", "EditPaste"}) {
    edit->addAction(Action(QLatin1StringView(name)));
  }
  window_menu_ = menuBar()->addMenu(QStringLiteral("&Fenster"));
  connect(window_menu_, &QMenu::aboutToShow, this, &TMainForm::FillWindowMenu);
  FillWindowMenu();
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
  help->addAction(Action(QStringLiteral("HelpAbout")));
}

void TMainForm::FillWindowMenu() {
  window_menu_->clear();
  for (const char* name : {"WindowCascade", "WindowTileHorizontal", "WindowTileVertical",
                           "WindowMinimizeAll", "WindowArrangeAll"}) {
    window_menu_->addAction(Action(QLatin1StringView(name)));
  }
  const auto children = mdi_->subWindowList(QMdiArea::CreationOrder);
  if (!children.isEmpty()) {
    window_menu_->addSeparator();
  }
  int number = 1;
  for (QMdiSubWindow* child : children) {
    QAction* item =
        window_menu_->addAction(QStringLiteral("&%1 %2").arg(number++).arg(child->windowTitle()));
    item->setCheckable(true);
    item->setChecked(child == mdi_->activeSubWindow());
    connect(item, &QAction::triggered, this, [this, child] {
      if (child->isMinimized()) {
        child->showNormal();
      }
      mdi_->setActiveSubWindow(child);
    });
  }
}

void TMainForm::CreateToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Werkzeuge"));
  bar->setObjectName("ToolBar1");
  bar->addAction(Action(QStringLiteral("FileNew")));
  bar->addAction(Action(QStringLiteral("FileOpen")));
  bar->addAction(Action(QStringLiteral("FileSave")));
  bar->addSeparator();
  bar->addAction(Action(QStringLiteral("EditCut")));
  bar->addAction(Action(QStringLiteral("EditCopy")));
  bar->addAction(Action(QStringLiteral("EditPaste")));
  bar->addSeparator();
  bar->addAction(Action(QStringLiteral("WindowCascade")));
  bar->addAction(Action(QStringLiteral("WindowTileHorizontal")));
  bar->addAction(Action(QStringLiteral("WindowTileVertical")));
  bar->addAction(Action(QStringLiteral("ToggleTimer")));
}

void TMainForm::RegisterWindowClass(const QString& className, std::function<QWidget*()> create) {
  classes_[className] = std::move(create);
}

QMdiSubWindow* TMainForm::AddChild(QWidget* widget) {
  widget->setAttribute(Qt::WA_DeleteOnClose);
  QMdiSubWindow* child = mdi_->addSubWindow(widget);
  child->setAttribute(Qt::WA_DeleteOnClose);
  widget->show();
  return child;
}

QWidget* TMainForm::FindChildWindow(const QString& className) const {
  for (QMdiSubWindow* child : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    QWidget* widget = child->widget();
    if (widget != nullptr && widget->property("windowClass").toString() == className) {
      return widget;
    }
  }
  return nullptr;
}

void TMainForm::EnsureChildWindow(const QString& className) {
  if (FindChildWindow(className) != nullptr) {
    return;
  }
  QMdiSubWindow* active = mdi_->activeSubWindow();
  OpenOrSwitch(className);
  if (active != nullptr) {
    mdi_->setActiveSubWindow(active);
  }
}

QWidget* TMainForm::OpenOrSwitch(const QString& className) {
  const auto create = [this, &className]() -> QWidget* {
    const auto it = classes_.find(className);
    if (it == classes_.end()) {
      return nullptr;
    }
    QWidget* widget = it->second();
    AddChild(widget);
    return widget;
  };
  QWidget* existing = FindChildWindow(className);
  if (existing == nullptr) {
    return create();
  }
  const QString text = QStringLiteral(
                           "Form \"%1\" already created. Select OK to switch to it, Yes to "
                           "create a new form instance.")
                           .arg(existing->windowTitle());
  switch (confirm_(text)) {
    case QMessageBox::Ok:
      if (auto* child = qobject_cast<QMdiSubWindow*>(existing->parentWidget())) {
        mdi_->setActiveSubWindow(child);
        child->raise();
      }
      return existing;
    case QMessageBox::Yes:
      return create();
    default:
      return nullptr;
  }
}

void TMainForm::LoadWorld(const QString& path) {
  if (load_world_) {
    load_world_(path);
  }
}

void TMainForm::SaveWorldAs(QString path) {
  // Saved under another ending, the world would be hidden by the load dialog's filter.
  if (!path.endsWith(kWorldSuffix, Qt::CaseInsensitive)) {
    path += kWorldSuffix;
  }
  if (save_world_) {
    save_world_(path);
  }
}

void TMainForm::OpenResult(const QString& path) {
  if (open_result_) {
    open_result_(path);
  }
}

void TMainForm::ExportGis(const QString& folder) {
  if (export_gis_) {
    export_gis_(folder);
  }
}

// A saved world names its grid's shape near its start; the first bytes tell, without
// reading a file of hundreds of megabytes.
bool LooksLikeWorldFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return false;
  }
  const QByteArray head = file.read(qint64{64} * 1024);
  return head.trimmed().startsWith('{') && head.contains("\"CellSize\"") &&
         head.contains("\"ColumnCount\"");
}

QString TMainForm::ChooseFile(const QString& caption, const QString& filter, bool save,
                              const QString& proposed) {
  const QString start = proposed.isEmpty() ? last_folder_ : QDir(last_folder_).filePath(proposed);
  QString path = save ? QFileDialog::getSaveFileName(this, caption, start, filter)
                      : QFileDialog::getOpenFileName(this, caption, start, filter);
  if (!path.isEmpty()) {
    last_folder_ = QFileInfo(path).absolutePath();
  }
  return path;
}

void TMainForm::OpenFile(const QString& path) {
  if (path.endsWith(QStringLiteral(".tee"), Qt::CaseInsensitive)) {
    context_.errors.Run(this, [this, &path] { AddChild(new TChartWindow(path)); });
    return;
  }
  if (const auto result = FindResultFolder(path); result && QFileInfo(path).isFile()) {
    OpenResult(path);
    return;
  }
  if (load_world_ && LooksLikeWorldFile(path) &&
      ask_(QStringLiteral("\"%1\" ist eine gespeicherte Welt. Als Welt laden?")
               .arg(QFileInfo(path).fileName()))) {
    LoadWorld(path);
    return;
  }
  OpenTextFile(path);
}

void TMainForm::OpenTextFile(const QString& path) {
  auto* viewer = new TMDIChild;
  viewer->LoadFile(path);
  AddChild(viewer);
}

}  // namespace veltmoor
