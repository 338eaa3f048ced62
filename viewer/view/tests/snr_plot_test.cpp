// The SNR plot window on a real GL context (Mesa under Xvfb): the three series, the axes
// and the legend where the projection puts them, and a window without a context.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "data/snr/snr_plot_arrays.h"
#include "view/snr_plot.h"

namespace pelorin {
namespace {

// 10 pixels per plot unit in both directions.
constexpr int kWidth = 1100;
constexpr int kHeight = 1000;

struct Rgb {
  int r, g, b;
};

class NoContextPlot : public COpenGLControl_SNR {
 public:
  explicit NoContextPlot(wxWindow* parent) : COpenGLControl_SNR(parent, wxRect(0, 0, 200, 100)) {}
  bool CreateDevice() override { return false; }
};

class SnrPlotTest : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "snr", wxPoint(0, 0), wxSize(kWidth, kHeight),
                         wxBORDER_NONE);
    plot_ = COpenGLControl_SNR::CreateGLWindow(wxRect(0, 0, kWidth, kHeight), frame_);
    plot_->SetBeforeSwap([this] {
      pixels_.assign(static_cast<size_t>(kWidth * kHeight * 3), 0);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
      ++paints_;
    });
    frame_->Show();
  }
  void TearDown() override { delete frame_; }

  void Render() {
    const int before = paints_;
    plot_->Refresh(false);
    plot_->Update();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (paints_ == before && std::chrono::steady_clock::now() < end) {
      wxYield();
      wxMilliSleep(5);
      if (paints_ == before) plot_->Refresh(false);
    }
    ASSERT_GT(paints_, before) << "the plot was not painted";
  }

  // Pixel at a point of the plot (its origin 55 units from the left, 45 from the bottom),
  // looking up to two pixels around it for the colour (a line is one pixel wide).
  bool Shows(float x, float y, Rgb want) const {
    const int px = static_cast<int>(x / 110.0f * kWidth);
    const int py = static_cast<int>((y + 5.0f) / 100.0f * kHeight);
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const int cx = std::clamp(px + dx, 0, kWidth - 1), cy = std::clamp(py + dy, 0, kHeight - 1);
        const size_t i = static_cast<size_t>((cy * kWidth + cx) * 3);
        if (std::abs(pixels_[i] - want.r) <= 3 && std::abs(pixels_[i + 1] - want.g) <= 3 &&
            std::abs(pixels_[i + 2] - want.b) <= 3)
          return true;
      }
    }
    return false;
  }

  wxFrame* frame_ = nullptr;
  COpenGLControl_SNR* plot_ = nullptr;
  std::vector<unsigned char> pixels_;
  int paints_ = 0;
};

// Every line of a 3 x 2 frame flat at one value.
EdgeBuffers Flat(int32_t value) {
  EdgeBuffers e(3, 2);
  for (auto* track : {&e.x1Track, &e.x2Track, &e.y1Track, &e.y2Track})
    std::fill(track->begin(), track->end(), value);
  return e;
}

constexpr Rgb kOrange{255, 165, 0}, kLightBlue{135, 229, 235}, kYellow{255, 255, 0};
constexpr Rgb kWhite{255, 255, 255}, kGreen{0, 255, 0}, kBlack{0, 0, 0};

TEST_F(SnrPlotTest, SeriesAxesAndLegendLieWhereTheProjectionPutsThem) {
  // A context refused at creation is made again at the first paint.
  Render();
  ASSERT_TRUE(plot_->HasContext());
  plot_->SizeSnrPlot(SnrPlotFloats(3, 2));
  ASSERT_EQ(plot_->VertexCount(), 36);
  ASSERT_TRUE(plot_->BuildSnrPlot(Flat(10), Flat(20), Flat(40)));
  Render();
  // s = 10.5: Y1 runs over 0..21, X1 over 31.5..42, Y2 over 52.5..73.5, X2 over 84..94.5.
  for (float x : {10.0f, 37.0f, 63.0f, 89.0f}) {
    EXPECT_TRUE(Shows(x, 10.0f, kOrange)) << x;
    EXPECT_TRUE(Shows(x, 20.0f, kLightBlue)) << x;
    EXPECT_TRUE(Shows(x, 40.0f, kYellow)) << x;
  }
  EXPECT_TRUE(Shows(26.0f, 0.0f, kWhite)) << "the base line";
  EXPECT_TRUE(Shows(104.0f, 0.0f, kWhite));
  EXPECT_TRUE(Shows(31.5f, 30.0f, kGreen)) << "the X1 upright";
  EXPECT_TRUE(Shows(84.0f, 49.0f, kGreen)) << "the X2 upright";
  EXPECT_FALSE(Shows(26.0f, 30.0f, kGreen)) << "no upright between the profiles";
  EXPECT_TRUE(Shows(26.0f, 30.0f, kBlack));
  // Legend segments at x = 70..75.
  EXPECT_TRUE(Shows(72.5f, 80.0f, {135, 206, 235}));
  EXPECT_TRUE(Shows(72.5f, 85.0f, kYellow));
  EXPECT_TRUE(Shows(72.5f, 90.0f, kOrange));
}

TEST_F(SnrPlotTest, LaterSeriesDrawOverEarlierOnesAndNothingIsDrawnUnsized) {
  ASSERT_TRUE(plot_->HasContext());
  EXPECT_FALSE(plot_->BuildSnrPlot(Flat(10), Flat(20), Flat(40))) << "arrays not sized";
  Render();
  EXPECT_FALSE(Shows(10.0f, 40.0f, kYellow));
  EXPECT_TRUE(Shows(26.0f, 0.0f, {0, 0, 0})) << "no axes before the first build";

  plot_->SizeSnrPlot(SnrPlotFloats(3, 2));
  ASSERT_TRUE(plot_->BuildSnrPlot(Flat(30), Flat(30), Flat(30)));
  Render();
  EXPECT_TRUE(Shows(10.0f, 30.0f, kYellow));
  EXPECT_FALSE(Shows(10.0f, 30.0f, kOrange)) << "the signal covers the frame's line";
}

TEST_F(SnrPlotTest, WindowWithoutContextPaints) {
  auto* plot = new NoContextPlot(frame_);
  plot->SizeSnrPlot(SnrPlotFloats(3, 2));
  EXPECT_TRUE(plot->BuildSnrPlot(Flat(1), Flat(2), Flat(3)));
  plot->Refresh();
  plot->Update();
  wxYield();
  EXPECT_FALSE(plot->HasContext());
}

}  // namespace
}  // namespace pelorin
