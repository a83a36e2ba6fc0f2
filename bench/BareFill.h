#pragma once

// What the plot benchmarks measure a plot against: the same rectangles
// filled one by one with QPainter, and the timing around both.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Fills every rectangle in Color, one fillRect each.
inline void FillRectsBare(QImage& Image, const std::vector<QRect>& Rects, const QColor& Color)
{
    QPainter painter(&Image);
    for (const QRect& rect : Rects)
        painter.fillRect(rect, Color);
}

// Writes Color straight into the scanlines of every rectangle, which lies
// inside the image: the least any fill of them can cost.
inline void FillRectsScanlines(QImage& Image, const std::vector<QRect>& Rects, const QColor& Color)
{
    const QRgb pixel = Color.rgb();
    for (const QRect& rect : Rects)
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(Image.scanLine(y)) + rect.left();
            std::fill(line, line + rect.width(), pixel);
        }
}

// The median of five runs of Run, each after an untimed Prepare, in
// milliseconds.
template <class P, class R>
double MedianMilliseconds(P Prepare, R Run)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        Prepare();
        const auto start = std::chrono::steady_clock::now();
        Run();
        runs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// The median of five runs of FillRectsBare on a white image of Size, in
// milliseconds.
inline double BareFillMilliseconds(const QSize& Size, const std::vector<QRect>& Rects, const QColor& Color)
{
    QImage image(Size, QImage::Format_RGB32);
    return MedianMilliseconds([&] { image.fill(Qt::white); }, [&] { FillRectsBare(image, Rects, Color); });
}

// The same for FillRectsScanlines.
inline double ScanlineFillMilliseconds(const QSize& Size, const std::vector<QRect>& Rects, const QColor& Color)
{
    QImage image(Size, QImage::Format_RGB32);
    return MedianMilliseconds([&] { image.fill(Qt::white); }, [&] { FillRectsScanlines(image, Rects, Color); });
}

// Runs Step once per benchmark iteration; the mean time of one, in
// milliseconds.
template <class F>
double MeanMillisecondsPerIteration(benchmark::State& State, F Step)
{
    double total = 0;
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        Step();
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    return total / double(State.iterations());
}
