#include "ui/widget_settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <stdexcept>

#include "simulation/numbers.h"

namespace veltmoor {

namespace {

bool CheckedAsValue(const SettingDef& def, const std::string& text) {
  try {
    CheckSettingText(def, text, def.name);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

QString FieldLabel(const SettingDef& def) {
  QString label = QString::fromStdString(def.caption).trimmed();
  while (label.endsWith(QLatin1Char(':'))) {
    label = label.chopped(1).trimmed();
  }
  return label.isEmpty() ? QString::fromStdString(def.name) : label;
}

WidgetSettings::WidgetSettings(const SettingsRegistry& registry) : registry_(registry) {}

QWidget* WidgetSettings::CreateControl(const SettingDef& def, QWidget* parent) {
  QWidget* control = nullptr;
  const QString caption = QString::fromStdString(def.caption);
  const bool on = def.default_text == "1";
  switch (def.kind) {
    case ControlKind::SpinEdit: {
      auto* spin = new QSpinBox(parent);
      spin->setRange(static_cast<int>(def.min), static_cast<int>(def.max));
      spin->setValue(std::stoi(def.default_text));
      control = spin;
      break;
    }
    case ControlKind::EditBox: {
      auto* edit = new QLineEdit(QString::fromStdString(def.default_text), parent);
      TrackTyping(def, edit);
      control = edit;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(caption, parent);
      box->setChecked(on);
      control = box;
      break;
    }
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(caption, parent);
      radio->setChecked(on);
      control = radio;
      break;
    }
    case ControlKind::ToggleButton: {
      auto* toggle = new QPushButton(caption, parent);
      toggle->setCheckable(true);
      toggle->setChecked(on);
      control = toggle;
      break;
    }
    case ControlKind::TrackBar: {
      auto* slider = new QSlider(Qt::Vertical, parent);
      slider->setRange(static_cast<int>(def.min), static_cast<int>(def.max));
      slider->setValue(std::stoi(def.default_text));
      slider->setTickPosition(QSlider::TicksBothSides);
      // Position 0 at the top, like the legend it scales.
      slider->setInvertedAppearance(true);
      control = slider;
      break;
    }
  }
  if (def.kind == ControlKind::SpinEdit || def.kind == ControlKind::EditBox) {
    control->setMaximumWidth(110);
  }
  control->setObjectName(QString::fromStdString(def.name));
  controls_[def.name] = control;
  return control;
}

void WidgetSettings::TrackTyping(const SettingDef& def, QLineEdit* edit) {
  const std::string name = def.name;
  last_good_[name] = def.default_text;
  QObject::connect(edit, &QLineEdit::textChanged, edit, [this, name](const QString& text) {
    std::string value = text.toStdString();
    if (CheckedAsValue(registry_.Get(SettingName{name}), value)) {
      last_good_[name] = std::move(value);
    }
  });
  QObject::connect(edit, &QLineEdit::textEdited, edit, [this, name] { typing_.insert(name); });
  QObject::connect(edit, &QLineEdit::editingFinished, edit, [this, name] { typing_.erase(name); });
}

QWidget* WidgetSettings::Control(SettingName name) const {
  const auto it = controls_.find(name.View());
  return it == controls_.end() ? nullptr : it->second;
}

std::string WidgetSettings::Text(SettingName name) const {
  QWidget* control = Control(name);
  if (control == nullptr) {
    return registry_.Get(name).default_text;  // a control this window does not show
  }
  if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    return spin->text().toStdString();
  }
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    std::string text = edit->text().toStdString();
    if (typing_.count(name.View()) != 0 && !CheckedAsValue(registry_.Get(name), text)) {
      if (const auto good = last_good_.find(name.View()); good != last_good_.end()) {
        return good->second;
      }
    }
    return text;
  }
  if (auto* slider = qobject_cast<QSlider*>(control)) {
    return std::to_string(slider->value());
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    return button->isChecked() ? "1" : "0";
  }
  return {};
}

double WidgetSettings::Float(SettingName name) const {
  const SettingDef& def = registry_.Get(name);
  const std::string text = Text(name);
  const QString label = FieldLabel(def);
  try {
    CheckSettingText(def, text, label.toStdString());
    return ParseDecimal(text);
  } catch (const ConversionError&) {
    throw ConversionError(QStringLiteral("%1: '%2' is not a number")
                              .arg(label, QString::fromStdString(text))
                              .toStdString());
  }
}

bool WidgetSettings::Checked(SettingName name) const {
  QWidget* control = Control(name);
  if (control == nullptr) {
    return registry_.Get(name).default_text == "1";
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    return button->isChecked();
  }
  return false;
}

void WidgetSettings::SetText(SettingName name, const std::string& text) {
  QWidget* control = Control(name);
  if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    spin->setValue(std::stoi(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    typing_.erase(name.Str());
    edit->setText(QString::fromStdString(text));
  } else if (auto* slider = qobject_cast<QSlider*>(control)) {
    slider->setValue(std::stoi(text));
  } else {
    throw std::invalid_argument("no text control '" + name.Str() + "'");
  }
}

void WidgetSettings::SetChecked(SettingName name, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(Control(name))) {
    button->setChecked(checked);
    return;
  }
  throw std::invalid_argument("no check control '" + name.Str() + "'");
}

}  // namespace veltmoor
