// The "Fade" dialog: the start and end level of a fade or gain change (hundredths of a dB,
// each a trackbar with its number), the curve ("Linear", "Logarithmic" or "Adjustable") and
// the curve editor. "Fade In" and "Fade Out" set both levels and the logarithmic curve for a
// fade from or to the lowest level; "Adjustable" lets the curve editor's two control points
// be dragged. It opens with the preset "FADE" and stores its values there on OK.
//
//   +-------------------------------------------------------------+
//   |  Start    End     +-------------------------------------+   |
//   |  [0.00]  [-96.00] |      curve editor                   |   |
//   |    |       |      |                                     |   |
//   |    |       |      +-------------------------------------+   |
//   |  Curve (o) Linear ( ) Logarithmic ( ) Adjustable            |
//   |                                        [Fade In] [Fade Out] |
//   |                                              [OK] [Cancel]  |
//   +-------------------------------------------------------------+
#pragma once

#include <QDialog>
#include <optional>

#include "app/edit_dialogs/gain_curve_editor.h"
#include "document/edit_settings.h"
#include "platform/prompts.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace ztlive {

class SliderEditPair;

class FadeDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FadeDialog(Prompts& prompts, QWidget* parent = nullptr);

  // Opens the dialog; the values chosen, or nothing for Cancel.
  static std::optional<FadeSettings> Ask(Prompts& prompts, QWidget* parent);

  FadeSettings Settings() const;
  void ShowSettings(const FadeSettings& fade);
  // The two quick shapes.
  void SetFadeIn();
  void SetFadeOut();

  SliderEditPair& StartLevel() { return *m_start; }
  SliderEditPair& EndLevel() { return *m_end; }
  QRadioButton& CurveButton(FadeCurve curve);
  QPushButton& FadeInButton() { return *m_fadeIn; }
  QPushButton& FadeOutButton() { return *m_fadeOut; }
  GainCurveEditor& CurveEditor() { return *m_editor; }

  // Stores the values as the preset "FADE" (a failure is shown, the values are still used).
  void accept() override;

 private:
  void ShowCurve();
  void SetQuickShape(int startLevel, int endLevel);

  Prompts& m_prompts;
  SliderEditPair* m_start;
  SliderEditPair* m_end;
  GainCurveEditor* m_editor;
  QButtonGroup* m_curves;
  QPushButton* m_fadeIn;
  QPushButton* m_fadeOut;
};

}  // namespace ztlive
