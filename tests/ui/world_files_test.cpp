// World files in the desktop program: saved, loaded back exactly, and a bad file refused
// with the current world kept.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "qt_app.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(WorldFilesTest, SavedWorldLoadsBackAndABadFileKeepsTheWorld) {
  test::TestApp();
  std::vector<QString> errors;
  DesktopProgram program = StartDesktopProgram(false);
  program.context->errors.SetPresenter(
      [&errors](QWidget*, const QString& message) { errors.push_back(message); });
  TForm1& window = *program.simulation;
  World& world = program.context->sim.world;
  EXPECT_NE(program.frame->Action(QStringLiteral("WorldLoad")), nullptr);
  EXPECT_EQ(program.frame->Action(QStringLiteral("WorldSaveAs"))->text(),
            QStringLiteral("Welt speichern unter…"));

  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  for (int i = 0; i < 15; ++i) {
    window.Timer1Timer();
  }
  const fs::path dir = fs::temp_directory_path() / "veltmoor-world-files-test";
  fs::create_directories(dir);
  const fs::path saved = dir / "world.json";
  ASSERT_TRUE(window.SaveWorldAs(QString::fromStdString(saved.string())));
  const std::uint32_t nodes = world.NodeCount;

  nlohmann::json bad = nlohmann::json::parse(Read(saved));
  bad["SubState"][0][0] = 9;
  std::ofstream(dir / "bad.json") << bad.dump();
  window.Button(QStringLiteral("B_setup"))->click();  // a fresh world, different from the saved one
  const std::uint32_t fresh = world.NodeCount;
  EXPECT_FALSE(window.LoadWorld(QString::fromStdString((dir / "bad.json").string())));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].contains(QStringLiteral("'SubState'[0][0]"))) << errors[0].toStdString();
  EXPECT_EQ(world.NodeCount, fresh);

  ASSERT_TRUE(window.LoadWorld(QString::fromStdString(saved.string())));
  EXPECT_EQ(world.NodeCount, nodes);
  EXPECT_EQ(world.TimeStep, 15u);
  const fs::path again = dir / "again.json";
  ASSERT_TRUE(window.SaveWorldAs(QString::fromStdString(again.string())));
  EXPECT_EQ(Read(again), Read(saved));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace veltmoor
