// The brick wall's settings window, "Brick Wall Filter":
//
//   [Frequency] [Upper Freq] [Length] [Kaiser (dB)]  +- Filter Type -+  +---------+
//                                                    | o Lowpass     |  | picture |
//                                                    | o Highpass    |  | of the  |
//                                                    | o Bandpass    |  | response|
//                                                    | o Bandstop    |  +---------+
//                                                    +---------------+
//
// The "Upper Freq" label shows, and its pair is enabled, only for the band pass and band
// stop. "Kaiser (dB)" windows the response for that stop band attenuation; 0 (the start, and
// what presets without it hold) keeps the unwindowed design. Every change sends (p[0], p[1],
// p[2], p[3], p[4]) to the engines and redraws the picture.
#pragma once

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QRadioButton;

namespace ztlive {

class BrickWallPicture;

class BrickWallDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 31;

  explicit BrickWallDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  SliderEditPair& FrequencyPair() { return *Controls().Pair(0); }
  SliderEditPair& UpperPair() { return *Controls().Pair(1); }
  SliderEditPair& LengthPair() { return *Controls().Pair(2); }
  SliderEditPair& KaiserPair() { return *Controls().Pair(4); }
  QRadioButton& TypeButton(int mode);
  BrickWallPicture& Picture() { return *m_picture; }

 protected:
  const FilterDescriptor& Descriptor() const override;
  void ShowValues(const PresetValues& stored) override;
  void ControlEdited(int index) override;

 private:
  // The upper edge's label and pair follow the mode; the picture follows every value.
  void FollowValues();

  BrickWallPicture* m_picture;
};

}  // namespace ztlive
