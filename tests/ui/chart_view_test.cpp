#include "ui/chart_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QDir>
#include <QImage>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QValueAxis>
#include <cmath>
#include <limits>
#include <map>

#include "chart/chart_file.h"
#include "qt_app.h"
#include "render/qt_canvas.h"
#include "ui/chart_editor.h"
#include "ui/error_guard.h"

namespace veltmoor {
namespace {

using chart::AxisSide;
using chart::SeriesKind;

class ChartViewTest : public ::testing::Test {
 protected:
  ChartViewTest() : model_("Chart_test", "Test chart") {
    test::TestApp();
    model_.SetAxisTitles("time", "count", "ratio");
    for (auto [name, kind] : {std::pair{"ser_line", SeriesKind::Line},
                              {"ser_point", SeriesKind::Point},
                              {"ser_bar", SeriesKind::Bar},
                              {"ser_area", SeriesKind::Area},
                              {"ser_hidden", SeriesKind::Line}}) {
      chart::Series& series = model_.AddSeries(name, std::string(name) + " title", kind);
      for (double x : {1.0, 2.0, 3.0}) {
        series.Add(x, x * 10.0);
      }
    }
    model_.Find("ser_bar")->SetShowMarks(true);
    model_.Find("ser_point")->SetColor(0x0000FF);
    model_.Find("ser_hidden")->SetVisible(false);
  }

  static std::vector<QAbstractSeries::SeriesType> Types(const ChartView& view) {
    std::vector<QAbstractSeries::SeriesType> types;
    for (QAbstractSeries* series : view.chart()->series()) {
      types.push_back(series->type());
    }
    return types;
  }

  static int Count(const ChartView& view, const QString& name) {
    for (QAbstractSeries* series : view.chart()->series()) {
      if (series->name() == name) {
        return static_cast<int>(static_cast<QXYSeries*>(series)->count());
      }
    }
    return -1;
  }

  chart::Chart model_;
};

TEST_F(ChartViewTest, ShowsEachVisibleSeriesByItsKind) {
  ChartView view(&model_);
  using T = QAbstractSeries::SeriesType;
  EXPECT_EQ(Types(view), (std::vector<T>{T::SeriesTypeLine, T::SeriesTypeScatter, T::SeriesTypeBar,
                                         T::SeriesTypeArea}));
  auto* bars = static_cast<QBarSeries*>(view.chart()->series()[2]);
  EXPECT_TRUE(bars->isLabelsVisible());
  ASSERT_EQ(bars->count(), 1);
  EXPECT_EQ(bars->barSets()[0]->at(2), 30.0);
  auto* categories = qobject_cast<QCategoryAxis*>(view.BottomAxis());
  ASSERT_NE(categories, nullptr);
  EXPECT_EQ(categories->categoriesLabels(),
            (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
  auto* scatter = static_cast<QScatterSeries*>(view.chart()->series()[1]);
  EXPECT_EQ(scatter->color(), QColor(255, 0, 0));
  EXPECT_EQ(view.chart()->title(), QStringLiteral("Test chart"));
  EXPECT_EQ(view.BottomAxis()->titleText(), QStringLiteral("time"));
  EXPECT_EQ(view.LeftAxis()->titleText(), QStringLiteral("count"));
  // Bars stand on zero and their value marks get room above the highest one.
  EXPECT_EQ(view.FittedLeft().min, 0.0);
  EXPECT_GT(view.FittedLeft().max, 30.0);
}

TEST_F(ChartViewTest, LinesWithValueMarksShowTheirValues) {
  chart::Chart model("Chart_IS", "min distance");
  chart::Series& data = model.AddSeries("Series_IS", "ML", SeriesKind::Point);
  for (double x : {1.0, 2.0, 3.0}) {
    data.Add(x, x + 10.123456);
  }
  chart::Series& marked = model.AddSeries("ser_marked", "marked", SeriesKind::Line);
  marked.Add(1, 2);
  marked.Add(2, 3);
  marked.SetShowMarks(true);
  chart::Series& mean = model.AddDerived("Series_mean", "mean", chart::DerivedKind::Mean, data);
  mean.SetShowMarks(true);
  model.AddDerived("Series_IS_Trend", "trend", chart::DerivedKind::Trend, data);
  model.RecomputeDerived();
  ChartView view(&model);
  const QList<QAbstractSeries*> shown = view.chart()->series();
  ASSERT_EQ(shown.size(), 4);
  auto* markedLine = static_cast<QLineSeries*>(shown[1]);
  auto* meanLine = static_cast<QLineSeries*>(shown[2]);
  auto* trendLine = static_cast<QLineSeries*>(shown[3]);
  EXPECT_TRUE(markedLine->pointLabelsVisible());
  EXPECT_TRUE(markedLine->pointConfiguration(0).isEmpty());
  // A line of one number says it once, at its end.
  EXPECT_TRUE(meanLine->pointLabelsVisible());
  EXPECT_FALSE(meanLine->pointConfiguration(0)
                   .value(QXYSeries::PointConfiguration::LabelVisibility, true)
                   .toBool());
  EXPECT_TRUE(meanLine->pointConfiguration(1).isEmpty());
  // Shortened to four digits, so the marks of several such lines ending together fit.
  EXPECT_EQ(meanLine->pointLabelsFormat(), QStringLiteral("12,12"));
  EXPECT_FALSE(trendLine->pointLabelsVisible());
}

TEST_F(ChartViewTest, ALegendTooLongForOneRowStandsBesideTheChart) {
  chart::Chart model("Chart_rules", "rules");
  for (int i = 0; i < 10; ++i) {
    model
        .AddSeries("ser_" + std::to_string(i), "average ratio " + std::to_string(i),
                   SeriesKind::Line)
        .Add(1, i);
  }
  ChartView view(&model);
  view.resize(400, 300);
  view.show();
  QApplication::processEvents();
  EXPECT_EQ(view.chart()->legend()->alignment(), Qt::AlignRight);
  // With room for every name in a row, the legend goes back under the chart.
  view.resize(2400, 300);
  QApplication::processEvents();
  EXPECT_EQ(view.chart()->legend()->alignment(), Qt::AlignBottom);
}

TEST_F(ChartViewTest, ColoursComeFromTheModelAndStayWhenLinesAreToggled) {
  chart::Chart model("Chart_devPara", "study");
  chart::Series& first = model.AddSeries("ser_a", "a", SeriesKind::Point);
  chart::Series& second = model.AddSeries("ser_b", "b", SeriesKind::Point);
  for (chart::Series* series : {&first, &second}) {
    series->Add(1, 1);
    series->Add(2, 3);
  }
  chart::Series& trend = model.AddDerived("trend_a", "trend a", chart::DerivedKind::Trend, first);
  model.RecomputeDerived();
  ChartView view(&model);
  auto colours = [&view] {
    std::map<QString, QColor> by_name;
    for (QAbstractSeries* series : view.chart()->series()) {
      auto* xy = static_cast<QXYSeries*>(series);
      by_name[series->name()] =
          xy->type() == QAbstractSeries::SeriesTypeLine ? xy->pen().color() : xy->color();
    }
    return by_name;
  };
  const auto before = colours();
  EXPECT_NE(before.at(QStringLiteral("a")), before.at(QStringLiteral("b")));
  EXPECT_EQ(before.at(QStringLiteral("trend a")), before.at(QStringLiteral("a")));
  EXPECT_EQ(static_cast<QLineSeries*>(view.chart()->series()[2])->pen().style(), Qt::DashLine);

  trend.SetVisible(false);
  first.SetVisible(false);
  view.Refresh();
  EXPECT_EQ(colours().at(QStringLiteral("b")), before.at(QStringLiteral("b")));
  first.SetVisible(true);
  trend.SetVisible(true);
  view.Refresh();
  EXPECT_EQ(colours(), before);
}

TEST_F(ChartViewTest, LegendFollowsTheModelAndLongTitlesAreSetSmaller) {
  model_.SetLegendVisible(false);
  model_.SetTitle("Fractal Radial Analysis, r²_dev = 0,97, r²_node = 0,95, r²_edge = 0,96");
  ChartView view(&model_);
  view.resize(330, 260);
  view.show();
  QApplication::processEvents();
  view.Refresh();
  EXPECT_FALSE(view.chart()->legend()->isVisible());
  const QFont font = view.chart()->titleFont();
  EXPECT_LT(font.pointSize(), 9);
  model_.SetTitle("Short");
  view.Refresh();
  QApplication::processEvents();
  EXPECT_EQ(view.chart()->titleFont().pointSize(), 9);
}

// Model colours are 0x00BBGGRR; a swapped byte order would paint red series blue.
TEST(ChartColour, LowByteIsRed) {
  EXPECT_EQ(ToQColor(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0xFF0000), QColor(0, 0, 255));
  EXPECT_EQ(ToQColor(0x4763FF), QColor(0xFF, 0x63, 0x47));
}

TEST_F(ChartViewTest, RightAxisOnlyWhileAShownSeriesUsesIt) {
  ChartView view(&model_);
  EXPECT_EQ(view.RightAxis(), nullptr);
  EXPECT_EQ(view.chart()->axes(Qt::Vertical).size(), 1);
  chart::Series& hidden = *model_.Find("ser_hidden");
  hidden.SetVerticalAxis(AxisSide::Right);
  view.Refresh();
  EXPECT_EQ(view.RightAxis(), nullptr) << "a hidden series needs no axis";
  hidden.SetVisible(true);
  view.Refresh();
  ASSERT_NE(view.RightAxis(), nullptr);
  EXPECT_EQ(view.RightAxis()->titleText(), QStringLiteral("ratio"));
  EXPECT_EQ(view.chart()->axes(Qt::Vertical).size(), 2);
}

TEST_F(ChartViewTest, RefreshRebuildsOnlyWhenTheModelChanged) {
  ChartView view(&model_);
  EXPECT_EQ(view.RebuildCount(), 1u);
  view.Refresh();
  view.Refresh();
  EXPECT_EQ(view.RebuildCount(), 1u);
  model_.Find("ser_line")->Add(2.0, 25.0);
  view.Refresh();
  EXPECT_EQ(view.RebuildCount(), 2u);
  EXPECT_EQ(Count(view, QStringLiteral("ser_line title")), 4);
}

TEST_F(ChartViewTest, SkipsPointsThatAreNotFiniteAndFitsEmptyCharts) {
  chart::Chart lines("Chart_lines", "lines");
  chart::Series& series = lines.AddSeries("ser", "ser", SeriesKind::Line);
  ChartView view(&lines);
  EXPECT_EQ(view.FittedBottom(), (AxisRange{0.0, 1.0}));
  series.Add(0.0, 1.0);
  series.Add(std::numeric_limits<double>::quiet_NaN(), 2.0);
  series.Add(2.0, std::numeric_limits<double>::infinity());
  series.Add(4.0, 3.0);
  view.Refresh();
  EXPECT_EQ(Count(view, QStringLiteral("ser")), 2);
  EXPECT_DOUBLE_EQ(view.FittedBottom().min, -0.2);
  EXPECT_DOUBLE_EQ(view.FittedBottom().max, 4.2);
  EXPECT_TRUE(std::isfinite(view.LeftAxis()->max()));
}

TEST_F(ChartViewTest, EmptyBarChartKeepsItsAxisTitleUnderThePlot) {
  chart::Chart bars("Ch_clusterSize", "Cluster Sizes");
  bars.SetAxisTitles("cluster", "number of cells");
  bars.AddSeries("bar_clusterSize", "bars", SeriesKind::Bar).SetShowMarks(true);
  ChartView view(&bars);
  // No categories: a plain axis, whose title sits below the plot like any chart's.
  EXPECT_EQ(qobject_cast<QCategoryAxis*>(view.BottomAxis()), nullptr);
  EXPECT_EQ(view.BottomAxis()->titleText(), QStringLiteral("cluster"));
  bars.Find("bar_clusterSize")->Add(1, 5);
  view.Refresh();
  EXPECT_NE(qobject_cast<QCategoryAxis*>(view.BottomAxis()), nullptr);
}

TEST_F(ChartViewTest, StackedAreasStandOnTheOnesBefore) {
  chart::Chart stacked("Chart_stack", "stack");
  stacked.AddSeries("a", "a", SeriesKind::StackedArea).Add(1.0, 2.0);
  stacked.AddSeries("b", "b", SeriesKind::StackedArea).Add(1.0, 3.0);
  ChartView view(&stacked);
  auto* upper = static_cast<QAreaSeries*>(view.chart()->series()[1]);
  EXPECT_EQ(upper->lowerSeries()->at(0).y(), 2.0);
  EXPECT_EQ(upper->upperSeries()->at(0).y(), 5.0);
}

TEST_F(ChartViewTest, ZoomStaysUntilUndoneByTheViewOrTheModel) {
  model_.Find("ser_bar")->SetVisible(false);
  ChartView view(&model_);
  view.resize(420, 300);
  view.show();
  test::TestApp().processEvents();
  ASSERT_FALSE(view.IsZoomed()) << "laying the chart out is no zoom";
  view.chart()->zoomIn(QRectF(view.chart()->plotArea().center(), QSizeF(40, 40)));
  ASSERT_TRUE(view.IsZoomed());
  const double zoomed_max = view.BottomAxis()->max();
  EXPECT_LT(zoomed_max, view.FittedBottom().max);
  model_.Find("ser_line")->Add(10.0, 5.0);
  view.Refresh();
  EXPECT_EQ(view.BottomAxis()->max(), zoomed_max) << "new data keeps the user's zoom";

  model_.UndoZoom();
  view.Refresh();
  EXPECT_FALSE(view.IsZoomed());
  EXPECT_EQ(view.BottomAxis()->max(), view.FittedBottom().max);

  view.chart()->zoomIn(QRectF(view.chart()->plotArea().center(), QSizeF(40, 40)));
  const QPointF at = view.chart()->plotArea().center();
  QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::RightButton, Qt::RightButton, {});
  QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::RightButton, Qt::NoButton, {});
  QApplication::sendEvent(view.viewport(), &press);
  QApplication::sendEvent(view.viewport(), &release);
  EXPECT_FALSE(view.IsZoomed());
  EXPECT_EQ(view.LeftAxis()->max(), view.FittedLeft().max);
}

TEST_F(ChartViewTest, DoubleClickAsksForTheEditorOfItsChart) {
  ChartView view(&model_);
  chart::Chart* asked = nullptr;
  QObject::connect(&view, &ChartView::editRequested, [&](chart::Chart* c) { asked = c; });
  view.resize(420, 300);
  view.show();
  test::TestApp().processEvents();
  const QPointF at = view.chart()->plotArea().center();
  using E = QEvent;
  for (E::Type type : {E::MouseButtonPress, E::MouseButtonRelease, E::MouseButtonDblClick,
                       E::MouseButtonRelease}) {
    const Qt::MouseButtons held = type == E::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, Qt::LeftButton, held, {});
    QApplication::sendEvent(view.viewport(), &event);
  }
  EXPECT_EQ(asked, &model_);
  EXPECT_FALSE(view.IsZoomed()) << "a click is no zoom";
}

TEST_F(ChartViewTest, EditorWritesTitlesAndVisibilityIntoTheModel) {
  ChartView view(&model_);
  ErrorGuard errors;
  ChartEditor editor(view, errors);
  EXPECT_EQ(editor.windowTitle(), QStringLiteral("Chart editor – Test chart"));
  EXPECT_EQ(editor.SeriesList()->count(), 5);
  editor.TitleEdit()->setText(QStringLiteral("Renamed"));
  editor.LeftTitleEdit()->setText(QStringLiteral("cells"));
  editor.RightTitleEdit()->setText(QStringLiteral("share"));
  EXPECT_EQ(model_.Title(), "Renamed");
  EXPECT_EQ(model_.BottomAxisTitle(), "time");
  EXPECT_EQ(model_.LeftAxisTitle(), "cells");
  EXPECT_EQ(model_.RightAxisTitle(), "share");
  EXPECT_EQ(view.chart()->title(), QStringLiteral("Renamed")) << "the view follows at once";

  editor.SeriesList()->item(0)->setCheckState(Qt::Unchecked);
  editor.SeriesList()->item(4)->setCheckState(Qt::Checked);
  EXPECT_FALSE(model_.Find("ser_line")->Visible());
  EXPECT_TRUE(model_.Find("ser_hidden")->Visible());
  EXPECT_EQ(view.chart()->series().size(), 4);
}

TEST_F(ChartViewTest, SavesThePictureAndTheDataFile) {
  ChartView view(&model_);
  view.resize(420, 300);
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("chart.png"));
  ASSERT_TRUE(SaveChartPng(view, png));
  QImage picture(png);
  EXPECT_EQ(picture.size(), QSize(420, 300));

  ErrorGuard errors;
  ChartEditor editor(view, errors);
  ASSERT_TRUE(editor.SaveData(dir.filePath(QStringLiteral("chart"))));
  EXPECT_EQ(chart::LoadChartFile(dir.filePath(QStringLiteral("chart.tee")).toStdString())
                ->AllSeries()
                .size(),
            5u);

  QString shown;
  errors.SetPresenter([&](QWidget*, const QString& message) { shown = message; });
  // A plain file where a folder should be: no folder can be made there.
  const QString missing = png + QStringLiteral("/chart");
  EXPECT_FALSE(editor.SaveData(missing));
  EXPECT_TRUE(shown.contains(missing)) << shown.toStdString();
  EXPECT_FALSE(editor.SavePng(missing + QStringLiteral(".png")));
  EXPECT_TRUE(shown.contains(missing + QStringLiteral(".png"))) << shown.toStdString();
}

}  // namespace
}  // namespace veltmoor
