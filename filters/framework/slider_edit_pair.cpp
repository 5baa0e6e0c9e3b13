#include "filters/framework/slider_edit_pair.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace ztlive {

namespace {
constexpr int kTrackbarHeight = 160;  // pixels; long enough for a fine drag over 10000 steps
}  // namespace

SliderEditPair::SliderEditPair(QWidget* parent)
    : QWidget(parent),
      m_label(new QLabel(this)),
      m_edit(new QLineEdit(this)),
      m_unit(new QLabel(this)),
      m_slider(new QSlider(Qt::Vertical, this)) {
  m_label->setAlignment(Qt::AlignHCenter);
  m_edit->setAlignment(Qt::AlignRight);
  // Room for the widest text the edit shows ("-12345.678") and a little more.
  m_edit->setMinimumWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("-000000.000")));
  m_unit->hide();
  m_label->setBuddy(m_edit);
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

  // The QSlider counts up from the bottom, so its groove fills from the minimum and "up"
  // raises the value; the trackbar position (0 at the top) is kSliderBottom minus its value.
  m_slider->setRange(kSliderTop, kSliderBottom);
  m_slider->setSingleStep(10);
  m_slider->setPageStep(500);
  m_slider->setMinimumHeight(kTrackbarHeight);

  auto* editRow = new QHBoxLayout;
  editRow->addWidget(m_edit);
  editRow->addWidget(m_unit);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(m_label);
  column->addLayout(editRow);
  column->addWidget(m_slider, 1, Qt::AlignHCenter);

  connect(m_slider, &QSlider::valueChanged, this, [this](int count) { OnSliderMoved(kSliderBottom - count); });
  connect(m_edit, &QLineEdit::editingFinished, this, &SliderEditPair::OnEditFinished);
  SetValue(m_value);
}

int SliderEditPair::Position() const { return kSliderBottom - m_slider->value(); }

void SliderEditPair::SetLabel(const QString& text) { m_label->setText(text); }

void SliderEditPair::SetUnit(const QString& text) {
  m_unit->setText(text);
  m_unit->setVisible(!text.isEmpty());
}

void SliderEditPair::SetRange(const SliderRange& range) {
  m_range = range;
  SetValue(m_value);
}

void SliderEditPair::SetValue(int32_t value) {
  m_value = HoldInRange(m_range, value);
  ShowText();
  ShowPosition();
}

void SliderEditPair::OnSliderMoved(int position) {
  const int32_t value = SliderValue(m_range, position);
  const bool changed = value != m_value;
  m_value = value;
  ShowText();  // the trackbar stays where it was put, between the value's own positions
  if (changed) emit valueChanged(m_value);
}

void SliderEditPair::OnEditFinished() {
  // Text that is no number keeps the value; the edit shows it again.
  const std::optional<int32_t> typed = ParseSliderEditText(m_range, m_edit->text().toStdString());
  const bool changed = typed.has_value() && *typed != m_value;
  if (changed) m_value = *typed;
  ShowText();
  ShowPosition();
  if (changed) emit valueChanged(m_value);
}

void SliderEditPair::ShowText() {
  const QString text = QString::fromStdString(SliderEditText(m_range, m_value));
  if (m_edit->text() != text) m_edit->setText(text);
}

void SliderEditPair::ShowPosition() {
  const QSignalBlocker blocker(m_slider);
  m_slider->setValue(kSliderBottom - SliderPosition(m_range, m_value));
}

SliderRange RangeOf(const ParameterRecord& parameter) {
  return {parameter.minimum, parameter.maximum, parameter.kind == ControlKind::LogSlider, parameter.scale};
}

SliderEditPair* MakeSliderEditPair(const ParameterRecord& parameter, QWidget* parent) {
  auto* pair = new SliderEditPair(parent);
  pair->SetLabel(QString::fromUtf8(parameter.label.data(), static_cast<qsizetype>(parameter.label.size())));
  pair->SetRange(RangeOf(parameter));
  return pair;
}

}  // namespace ztlive
