// The save dialog of "Save Destination As": a file dialog for wave files with a choice of
// 8, 16, 20 or 24 bits per sample, starting at the file's own width.
#pragma once

#include <QFileDialog>

class QComboBox;

namespace ztlive {

class SaveDestinationDialog : public QFileDialog {
  Q_OBJECT

 public:
  // suggestedPath: the numbered name offered; bitsPerSample: the destination's own width.
  SaveDestinationDialog(QWidget* parent, const QString& caption, const QString& suggestedPath, int bitsPerSample,
                        bool offerBits = true);

  int BitsPerSample() const;
  void SetBitsPerSample(int bits);
  QString ChosenPath() const;

 private:
  QComboBox* m_bits = nullptr;
};

}  // namespace ztlive
