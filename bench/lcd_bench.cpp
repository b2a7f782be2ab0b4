// Time to compose one frame of the info window's panel: 31 x 12 cells of 6 x 9 single-pixel
// dots, 379 x 223 pixels, showing the first twelve lines of its text.
//
//   build/bench/lcd_bench
#include "lcd/InfoQ.h"
#include "lcd/LCDScreen.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void configureInfoPanel(TLCDScreen &panel)
{
    panel.setBorderColor(QColor(128, 128, 128));
    panel.setBorderStyle(TLCDBorder::bsSingle);
    panel.setColor(Qt::black);
    panel.setDotMatrixBorders(TDotMatrixBorder::mbBottom | TDotMatrixBorder::mbLeft |
                              TDotMatrixBorder::mbTop);
    panel.setHorzScrollMode(THorzScrollMode::smDependant);
    panel.setPixelSize(TPixelSize::pix1x1);
    panel.setPixelShape(TPixelShape::psShaped);
    panel.setPixelOff(QColor(96, 128, 0));
    panel.setPixelOn(QColor(192, 255, 0));
    panel.setNoOfLines(12);
    panel.setNoOfChars(31);
    panel.setLines(TFormInfo::infoLines().mid(9));
}

void InfoPanelFrame(benchmark::State &state)
{
    TLCDScreen panel;
    configureInfoPanel(panel);
    if (panel.size() != QSize(379, 223)) {
        state.SkipWithError("the panel is not 379 x 223");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(panel.renderFrame());
}
BENCHMARK(InfoPanelFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
