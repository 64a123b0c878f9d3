#include "output/movie_options_dialog.h"

#include <algorithm>
#include <utility>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "output/movie_options_store.h"

CMovieOptionsDialog::CMovieOptionsDialog(std::vector<MovieCodecChoice> choices, const MovieCompression& initial,
                                         QWidget* parent)
    : QDialog(parent), m_choices(std::move(choices)) {
  setWindowTitle(tr("Video Compression"));

  m_compressor = new QComboBox(this);
  for (const auto& choice : m_choices) m_compressor->addItem(QString::fromStdString(choice.label));
  const auto preselected = std::find_if(m_choices.begin(), m_choices.end(), [&](const MovieCodecChoice& choice) {
    return choice.id == initial.compressor;
  });
  m_compressor->setCurrentIndex(preselected == m_choices.end() ? 0 : static_cast<int>(preselected - m_choices.begin()));

  m_quality = new QSlider(Qt::Horizontal, this);
  m_quality->setRange(1, 100);
  m_qualityValue = new QSpinBox(this);
  m_qualityValue->setRange(1, 100);
  connect(m_quality, &QSlider::valueChanged, m_qualityValue, &QSpinBox::setValue);
  connect(m_qualityValue, &QSpinBox::valueChanged, m_quality, &QSlider::setValue);
  m_qualityValue->setValue(std::clamp(initial.quality, 1, 100));

  auto* qualityRow = new QHBoxLayout;
  qualityRow->addWidget(m_quality, 1);
  qualityRow->addWidget(m_qualityValue);
  m_qualityLabel = new QLabel(tr("Compression &Quality:"), this);
  m_qualityLabel->setBuddy(m_quality);

  auto* form = new QFormLayout;
  form->addRow(tr("&Compressor:"), m_compressor);
  form->addRow(m_qualityLabel, qualityRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);

  connect(m_compressor, &QComboBox::currentIndexChanged, this, &CMovieOptionsDialog::UpdateQualityEnabled);
  UpdateQualityEnabled();
}

void CMovieOptionsDialog::UpdateQualityEnabled() {
  const int index = m_compressor->currentIndex();
  const bool hasQuality = index >= 0 && m_choices[static_cast<std::size_t>(index)].hasQuality;
  m_qualityLabel->setEnabled(hasQuality);
  m_quality->setEnabled(hasQuality);
  m_qualityValue->setEnabled(hasQuality);
}

MovieCompression CMovieOptionsDialog::Choice() const {
  MovieCompression choice;
  const int index = m_compressor->currentIndex();
  if (index >= 0) choice.compressor = m_choices[static_cast<std::size_t>(index)].id;
  choice.quality = m_qualityValue->value();
  return choice;
}

std::optional<MovieCompression> AskMovieCompression(QWidget* parent) {
  CMovieOptionsDialog dialog(AvailableMovieCodecs(), LoadMovieCompression(), parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const MovieCompression choice = dialog.Choice();
  SaveMovieCompression(choice);
  return choice;
}
