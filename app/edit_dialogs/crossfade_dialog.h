// The "CrossFade" dialog: the start and end level of the file faded in and of the file it is
// faded into (tenths of a dB), the "Slope", and the file form (the source's selection faded
// into the destination's) with its preview. "Do Crossfade" runs the crossfade through the
// function given; while it runs the button reads "Cancel" and pressing it again asks the run
// to stop (the run dispatches window messages between its pieces, so the dialog still takes
// the press). A run done in full over the file closes the dialog; a preview, a stopped or a
// failed run leaves it open. The levels and the slope are stored when a run starts.
//
//   +------------------------------------------------------------+
//   | Clipboard (fading in)     File (fading out)                |
//   |  Start    End             Start    End                     |
//   |  [-60.0] [0.0]            [0.0]   [-60.0]                  |
//   |    |       |                |        |                     |
//   | Slope [Linear v]   [ ] Crossfade Source into Destination   |
//   |                    [ ] Preview                             |
//   |                            [Do Crossfade] [Cancel]         |
//   +------------------------------------------------------------+
#pragma once

#include <QDialog>
#include <functional>

#include "core/run_state.h"
#include "document/edit_settings.h"
#include "platform/settings_store.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace ztlive {

class SliderEditPair;

class CrossfadeDialog : public QDialog {
  Q_OBJECT

 public:
  // Performs the crossfade; true when it was done in full.
  using RunFunction = std::function<bool(const CrossfadeSettings&)>;

  // fileFormOffered: the document has a destination the source can be faded into.
  CrossfadeDialog(SettingsStore& settings, RunState& run, RunFunction perform, bool fileFormOffered,
                  QWidget* parent = nullptr);

  CrossfadeSettings Settings() const;
  void ShowSettings(const CrossfadeSettings& crossfade);
  bool Running() const { return m_running; }

  // "Do Crossfade", or during a run a stop request.
  void RunOrStop();

  SliderEditPair& Level(int index);  // 0, 1: faded in, start and end; 2, 3: faded into
  QComboBox& SlopeBox() { return *m_slope; }
  QCheckBox& FileFormBox() { return *m_fileForm; }
  QCheckBox& PreviewBox() { return *m_preview; }
  QPushButton& RunButton() { return *m_runButton; }
  QPushButton& CancelButton() { return *m_cancelButton; }

  // During a run closing (Esc, the window's close button) only asks it to stop; the dialog
  // closes when it has.
  void reject() override;

 private:
  void ShowForm();
  void EnableControls(bool enabled);

  SettingsStore& m_settings;
  RunState& m_run;
  RunFunction m_perform;
  bool m_fileFormOffered;
  bool m_running = false;
  bool m_closeAfterRun = false;
  SliderEditPair* m_levels[4] = {};
  QGroupBox* m_fadedIn;
  QGroupBox* m_fadedInto;
  QComboBox* m_slope;
  QCheckBox* m_fileForm;
  QCheckBox* m_preview;
  QPushButton* m_runButton;
  QPushButton* m_cancelButton;
};

}  // namespace ztlive
