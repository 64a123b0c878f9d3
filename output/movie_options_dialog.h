// The compression options dialog: the user picks the movie's compressor
// among those this machine offers and, where it has one, its quality.
#pragma once

#include <optional>
#include <vector>

#include <QDialog>

#include "output/movie_codecs.h"
#include "output/movie_compression.h"

class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

class CMovieOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // `initial` is preselected when it is among `choices`, else the first one.
  CMovieOptionsDialog(std::vector<MovieCodecChoice> choices, const MovieCompression& initial,
                      QWidget* parent = nullptr);

  MovieCompression Choice() const;

  QComboBox* CompressorBox() const { return m_compressor; }
  QSpinBox* QualityBox() const { return m_qualityValue; }

 private:
  void UpdateQualityEnabled();

  std::vector<MovieCodecChoice> m_choices;
  QComboBox* m_compressor = nullptr;
  QLabel* m_qualityLabel = nullptr;
  QSlider* m_quality = nullptr;
  QSpinBox* m_qualityValue = nullptr;
};

// Shows the dialog with this machine's compressors and the last choice; the
// accepted choice is remembered. Nothing when the user cancels.
std::optional<MovieCompression> AskMovieCompression(QWidget* parent);
