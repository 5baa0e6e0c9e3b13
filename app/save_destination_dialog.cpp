#include "app/save_destination_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace ztlive {

namespace {
constexpr int kWidths[] = {8, 16, 20, 24};
}

SaveDestinationDialog::SaveDestinationDialog(QWidget* parent, const QString& caption, const QString& suggestedPath,
                                             int bitsPerSample, bool offerBits)
    : QFileDialog(parent, caption) {
  // Qt's own dialog, so the width choice can sit under the file list.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setNameFilter(QStringLiteral("Wave files (*.wav)"));
  setDefaultSuffix(QStringLiteral("wav"));
  selectFile(suggestedPath);
  if (!offerBits) return;
  m_bits = new QComboBox(this);
  for (int bits : kWidths) m_bits->addItem(QStringLiteral("%1 bits").arg(bits), bits);
  SetBitsPerSample(bitsPerSample);
  if (auto* grid = qobject_cast<QGridLayout*>(layout()); grid != nullptr) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(QStringLiteral("Bits per sample:"), this), row, 0);
    grid->addWidget(m_bits, row, 1);
  }
}

int SaveDestinationDialog::BitsPerSample() const { return m_bits != nullptr ? m_bits->currentData().toInt() : 0; }

void SaveDestinationDialog::SetBitsPerSample(int bits) {
  if (m_bits == nullptr) return;
  const int index = m_bits->findData(bits);
  m_bits->setCurrentIndex(index >= 0 ? index : 1);
}

QString SaveDestinationDialog::ChosenPath() const {
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

}  // namespace ztlive
