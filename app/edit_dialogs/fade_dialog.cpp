#include "app/edit_dialogs/fade_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/edit_dialogs/edit_dialog_values.h"
#include "filters/framework/slider_edit_pair.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr SliderRange kLevelRange{kFadeLevelMinimum, kFadeLevelMaximum, false, 100};

SliderEditPair* LevelPair(const QString& label, QWidget* parent) {
  auto* pair = new SliderEditPair(parent);
  pair->SetLabel(label);
  pair->SetUnit(QStringLiteral("dB"));
  pair->SetRange(kLevelRange);
  return pair;
}

}  // namespace

FadeDialog::FadeDialog(Prompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_start(LevelPair(QStringLiteral("Start Level"), this)),
      m_end(LevelPair(QStringLiteral("End Level"), this)),
      m_editor(new GainCurveEditor(this)),
      m_curves(new QButtonGroup(this)),
      m_fadeIn(new QPushButton(QStringLiteral("Fade In"), this)),
      m_fadeOut(new QPushButton(QStringLiteral("Fade Out"), this)) {
  setWindowTitle(QStringLiteral("Fade"));
  setObjectName(QStringLiteral("fadeDialog"));
  setModal(true);
  m_start->setObjectName(QStringLiteral("startLevel"));
  m_end->setObjectName(QStringLiteral("endLevel"));
  m_editor->SetLevelRange(kFadeLevelMinimum, kFadeLevelMaximum);

  auto* upper = new QHBoxLayout;
  upper->addWidget(m_start);
  upper->addWidget(m_end);
  upper->addWidget(m_editor, 1);

  auto* curveBox = new QGroupBox(QStringLiteral("Curve"), this);
  auto* curveRow = new QHBoxLayout(curveBox);
  const std::pair<FadeCurve, const char*> curves[] = {
      {FadeCurve::Linear, "Linear"}, {FadeCurve::Logarithmic, "Logarithmic"}, {FadeCurve::Adjustable, "Adjustable"}};
  for (const auto& [curve, name] : curves) {
    auto* button = new QRadioButton(QString::fromLatin1(name), curveBox);
    m_curves->addButton(button, static_cast<int>(curve));
    curveRow->addWidget(button);
  }
  curveRow->addStretch(1);
  for (QPushButton* quick : {m_fadeIn, m_fadeOut}) {
    quick->setAutoDefault(false);
    curveRow->addWidget(quick);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(upper, 1);
  layout->addWidget(curveBox);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &FadeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FadeDialog::reject);
  connect(m_start, &SliderEditPair::valueChanged, this, &FadeDialog::ShowCurve);
  connect(m_end, &SliderEditPair::valueChanged, this, &FadeDialog::ShowCurve);
  connect(m_curves, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) ShowCurve();
  });
  connect(m_fadeIn, &QPushButton::clicked, this, &FadeDialog::SetFadeIn);
  connect(m_fadeOut, &QPushButton::clicked, this, &FadeDialog::SetFadeOut);

  ShowSettings(ReadFadePreset());
}

std::optional<FadeSettings> FadeDialog::Ask(Prompts& prompts, QWidget* parent) {
  FadeDialog dialog(prompts, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

QRadioButton& FadeDialog::CurveButton(FadeCurve curve) {
  return *static_cast<QRadioButton*>(m_curves->button(static_cast<int>(curve)));
}

FadeSettings FadeDialog::Settings() const {
  FadeSettings fade = m_editor->Fade();
  fade.startLevel = m_start->Value();
  fade.endLevel = m_end->Value();
  const int curve = m_curves->checkedId();
  fade.curve = curve >= 0 ? static_cast<FadeCurve>(curve) : FadeCurve::Linear;
  return fade;
}

void FadeDialog::ShowSettings(const FadeSettings& fade) {
  const FadeSettings held = HeldFadeSettings(fade);
  m_start->SetValue(held.startLevel);
  m_end->SetValue(held.endLevel);
  {
    const QSignalBlocker blocker(m_curves);
    CurveButton(held.curve).setChecked(true);
  }
  m_editor->SetFade(held);
}

void FadeDialog::SetFadeIn() { SetQuickShape(kFadeLevelMinimum, 0); }

void FadeDialog::SetFadeOut() { SetQuickShape(0, kFadeLevelMinimum); }

void FadeDialog::SetQuickShape(int startLevel, int endLevel) {
  FadeSettings fade = Settings();
  fade.startLevel = startLevel;
  fade.endLevel = endLevel;
  fade.curve = FadeCurve::Logarithmic;
  StraightControlLevels(fade);  // a later switch to "Adjustable" starts from a straight line
  ShowSettings(fade);
}

void FadeDialog::ShowCurve() { m_editor->SetFade(Settings()); }

void FadeDialog::accept() {
  const FadeSettings fade = Settings();
  if (const int written = WriteFadePreset(fade); written != 0) {
    m_prompts.Show(FormatText(StringId::kPresetNotSaved, {kFadePresetName, SystemErrorText(written)}), "",
                   PromptIcon::Warning);
  }
  QDialog::accept();
}

}  // namespace ztlive
