// Decimal boxes typed into as a user types: half-typed numbers are no failure, a box left
// holding no number or a number out of range is refused once, naming the field, and a run
// that cannot go on stops instead of failing on every tick.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "qt_app.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/simulation_window.h"

namespace veltmoor {
namespace {

class DecimalBoxesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    program_ = StartDesktopProgram(false);
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
  }

  TForm1& Window() { return *program_.simulation; }
  QLineEdit* Box(SettingName name) {
    return qobject_cast<QLineEdit*>(Window().Settings().Control(name));
  }
  // Replaces the box's text key by key, as typing does.
  void Type(SettingName name, const QString& text) {
    QLineEdit* box = Box(name);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
  void Leave(SettingName name) { QTest::keyClick(Box(name), Qt::Key_Return); }
  void StartBoom() {
    Window().findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
    Window().Button(QStringLiteral("B_ITL_start"))->click();
  }
  void Ticks(int n) {
    for (int i = 0; i < n && Window().Timer1().isActive(); ++i) {
      Window().Timer1Timer();
    }
  }
  std::uint32_t TimeStep() { return program_.context->sim.world.TimeStep; }

  DesktopProgram program_;
  std::vector<QString> errors_;
};

TEST_F(DecimalBoxesTest, HalfTypedNumbersAreNoFailureAndAreUsedOnceComplete) {
  // "-", "1e" and an empty box are steps on the way to a number.
  for (const char* steps : {"-2", "1e-1", "0,25"}) {
    Box(setting::kCentripetalWeight)->selectAll();
    QTest::keyClick(Box(setting::kCentripetalWeight), Qt::Key_Delete);
    QTest::keyClicks(Box(setting::kCentripetalWeight), QString::fromUtf8(steps));
    EXPECT_TRUE(errors_.empty()) << steps << ": " << errors_.front().toStdString();
    Leave(setting::kCentripetalWeight);
    EXPECT_TRUE(errors_.empty()) << steps << ": " << errors_.front().toStdString();
  }
  EXPECT_EQ(Window().Settings().Float(setting::kCentripetalWeight), 0.25);
}

TEST_F(DecimalBoxesTest, TypingDuringARunKeepsTheLastNumberUntilTheBoxIsLeft) {
  StartBoom();
  Ticks(3);
  Type(setting::kNoiseWeight, QStringLiteral("ab"));  // on the way to nothing
  const auto before = TimeStep();
  Ticks(3);
  EXPECT_EQ(TimeStep(), before + 3);
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_EQ(Window().Settings().Text(setting::kNoiseWeight), "0,1");

  // Left holding "abc": refused once by the field's caption; the run stops.
  QTest::keyClicks(Box(setting::kNoiseWeight), QStringLiteral("c"));
  Leave(setting::kNoiseWeight);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], QStringLiteral("noise weight: 'abc' is not a number"));
  EXPECT_FALSE(Window().Timer1().isActive());
  Ticks(5);
  EXPECT_EQ(errors_.size(), 1u);

  Type(setting::kNoiseWeight, QStringLiteral("0,2"));
  Leave(setting::kNoiseWeight);
  Window().Button(QStringLiteral("B_ITL_start"))->click();
  const auto resumed = TimeStep();
  Ticks(2);
  EXPECT_EQ(TimeStep(), resumed + 2);
  EXPECT_EQ(errors_.size(), 1u);
}

TEST_F(DecimalBoxesTest, AnEmptiedBoxStopsTheRunOnce) {
  StartBoom();
  Ticks(2);
  Type(setting::kNoiseWeight, QString());
  Leave(setting::kNoiseWeight);
  Ticks(5);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], QStringLiteral("noise weight: '' is not a number"));
  EXPECT_FALSE(Window().Timer1().isActive());
}

// The values veltmoor-batch refuses are refused here too, by the field's caption, whether
// typed or found in the box when a step reads it.
TEST_F(DecimalBoxesTest, NumbersBeyondTheControlsRangeAreRefused) {
  for (const char* text : {"1e39", "1e308", "-1e39"}) {
    errors_.clear();
    Type(setting::kCentripetalWeight, QString::fromUtf8(text));
    Leave(setting::kCentripetalWeight);
    ASSERT_EQ(errors_.size(), 1u) << text;
    EXPECT_TRUE(errors_[0].startsWith(QStringLiteral("centripetal weight (w1): '%1' is beyond "
                                                     "the range")
                                          .arg(QString::fromUtf8(text))))
        << errors_[0].toStdString();
  }
  Window().Settings().SetText(setting::kCentripetalWeight, "2,0");
  errors_.clear();
  StartBoom();
  Ticks(2);
  Window().Settings().SetText(setting::kRandomScale, "1e300");
  Ticks(5);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].startsWith(QStringLiteral("random scale: '1e300' is beyond the range")))
      << errors_[0].toStdString();
  EXPECT_FALSE(Window().Timer1().isActive());
}

// The window's ranged controls hold the registry's range that veltmoor-batch checks: a spin
// box takes both ends typed in and refuses one step beyond; a slider keeps inside them.
TEST_F(DecimalBoxesTest, RangedControlsTakeBothEndsAndNoStepBeyond) {
  int checked = 0;
  for (const SettingDef& def : SimulationSettings().All()) {
    QWidget* control = Window().Settings().Control(def.Name());
    if (control == nullptr || def.max <= def.min) {
      continue;
    }
    SCOPED_TRACE(def.name);
    ++checked;
    if (auto* spin = qobject_cast<QSpinBox*>(control)) {
      EXPECT_EQ(spin->minimum(), def.min);
      EXPECT_EQ(spin->maximum(), def.max);
      // Typed key by key, as a user types; the box's validator refuses what is out of range.
      const auto type = [&](long long value) {
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(value));
        QTest::keyClick(spin, Qt::Key_Return);
        return Window().Settings().Text(def.Name());
      };
      for (const long long value : {def.min, def.max}) {
        EXPECT_EQ(type(value), std::to_string(value));
        EXPECT_NO_THROW(CheckSettingText(def, std::to_string(value), def.name));
      }
      for (const long long beyond : {def.min - 1, def.max + 1}) {
        EXPECT_NE(type(beyond), std::to_string(beyond));
        EXPECT_THROW(CheckSettingText(def, std::to_string(beyond), def.name), SettingValueError);
      }
    } else if (auto* slider = qobject_cast<QSlider*>(control)) {
      EXPECT_EQ(slider->minimum(), def.min);
      EXPECT_EQ(slider->maximum(), def.max);
      slider->setValue(static_cast<int>(def.max + 1));
      EXPECT_EQ(Window().Settings().Text(def.Name()), std::to_string(def.max));
    } else {
      ADD_FAILURE() << "a ranged control that is neither a spin box nor a slider";
    }
  }
  EXPECT_GE(checked, 15);

  errors_.clear();
  for (const char* text : {"3,4e38", "-3,4e38"}) {
    Type(setting::kCentripetalWeight, QString::fromUtf8(text));
    Leave(setting::kCentripetalWeight);
  }
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace veltmoor
