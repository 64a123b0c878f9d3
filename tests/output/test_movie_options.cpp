// The compression options dialog: what it offers, what it answers, and that
// it remembers the last accepted choice (and only that).
#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include "output/movie_codecs.h"
#include "output/movie_options_dialog.h"
#include "output/movie_options_store.h"

namespace {

int IndexOf(const std::vector<MovieCodecChoice>& choices, const std::string& id) {
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

// Plays the user in the next modal options dialog.
void AnswerNextDialog(std::function<void(CMovieOptionsDialog&)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<CMovieOptionsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    answer(*dialog);
  });
}

class MovieOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings settings(QStringLiteral("TQ400 Application"), QStringLiteral("TAVROCAM"));
    settings.remove(QStringLiteral("Movie"));
  }
};

TEST_F(MovieOptions, OffersFullFramesAndTheBuiltInEncoderWithQualityOnlyWhereItApplies) {
  const auto choices = AvailableMovieCodecs();
  ASSERT_GE(choices.size(), 2u);
  EXPECT_EQ(choices[0].id, kMovieFullFrames);
  const int mjpeg = IndexOf(choices, kMovieBuiltinMjpeg);
  ASSERT_GE(mjpeg, 0);

  CMovieOptionsDialog dialog(choices, MovieCompression{kMovieBuiltinMjpeg, 40});
  EXPECT_EQ(dialog.CompressorBox()->count(), static_cast<int>(choices.size()));
  EXPECT_EQ(dialog.CompressorBox()->currentIndex(), mjpeg);
  EXPECT_TRUE(dialog.QualityBox()->isEnabled());
  EXPECT_EQ(dialog.QualityBox()->value(), 40);

  dialog.CompressorBox()->setCurrentIndex(0);
  EXPECT_FALSE(dialog.QualityBox()->isEnabled());
  EXPECT_EQ(dialog.Choice().compressor, kMovieFullFrames);

  // A compressor this machine no longer has falls back to the first choice.
  CMovieOptionsDialog stale(choices, MovieCompression{"gone-codec", 75});
  EXPECT_EQ(stale.CompressorBox()->currentIndex(), 0);
}

TEST_F(MovieOptions, RemembersTheLastAcceptedChoiceAndNotACancelledOne) {
  EXPECT_EQ(LoadMovieCompression().compressor, kMovieFullFrames);
  EXPECT_EQ(LoadMovieCompression().quality, 75);

  const int mjpeg = IndexOf(AvailableMovieCodecs(), kMovieBuiltinMjpeg);
  AnswerNextDialog([mjpeg](CMovieOptionsDialog& dialog) {
    dialog.CompressorBox()->setCurrentIndex(mjpeg);
    dialog.QualityBox()->setValue(60);
    dialog.accept();
  });
  const auto accepted = AskMovieCompression(nullptr);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->compressor, kMovieBuiltinMjpeg);
  EXPECT_EQ(accepted->quality, 60);

  AnswerNextDialog([](CMovieOptionsDialog& dialog) {
    EXPECT_EQ(dialog.Choice().compressor, kMovieBuiltinMjpeg);  // preselected from last time
    EXPECT_EQ(dialog.Choice().quality, 60);
    dialog.CompressorBox()->setCurrentIndex(0);
    dialog.reject();
  });
  EXPECT_FALSE(AskMovieCompression(nullptr));
  EXPECT_EQ(LoadMovieCompression().compressor, kMovieBuiltinMjpeg);
  EXPECT_EQ(LoadMovieCompression().quality, 60);
}

}  // namespace
