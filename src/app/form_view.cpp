#include "app/form_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/input_view.h"
#include "app/qt_event_pump.h"
#include "app/qt_ui.h"

namespace korvin {

namespace {

constexpr int kFieldMinimumWidth = 80;
constexpr int kButtonMinimumWidth = 96;
constexpr int kBoldWeightGrowth = 300;
constexpr int kGroupSpacing = 8;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

void MakeReadOnlyLook(QWidget* field) {
  // Read-only fields show the window's colour behind their text, the classic read-only look.
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  field->setPalette(palette);
}

void ApplyFont(QWidget* widget, const ControlSpec& declared, bool isLabel = false) {
  const bool bold = declared.Has(control::kBold) || (isLabel && declared.Has(control::kBoldLabel));
  if (!bold && !declared.Has(control::kItalic)) return;
  QFont font = widget->font();
  if (bold) {
    font.setWeight(static_cast<QFont::Weight>(std::min(font.weight() + kBoldWeightGrowth, 900)));
  }
  if (declared.Has(control::kItalic)) font.setItalic(true);
  widget->setFont(font);
}

// A field or list with a label of its own takes three grid columns: label, control, unit.
bool TakesLabelColumns(const ControlSpec& declared) {
  if (declared.Has(control::kCell)) return false;
  return declared.kind == ControlKind::kField || declared.kind == ControlKind::kList ||
         declared.kind == ControlKind::kProgress;
}

std::string FilterText(const FileChooserSpec& chooser) {
  std::string filter(chooser.filterName);
  if (filter.find('(') == std::string::npos) filter += " (" + std::string(chooser.pattern) + ")";
  return filter;
}

}  // namespace

FormView::FormView(TaskDialog& dialog, QtEventPump* pump, QWidget* parent)
    : QDialog(parent), dialog_(dialog), pump_(pump) {
  setWindowTitle(Text(dialog.screen().title()));
  setModal(true);
  if (dialog.screen().flags() & dialogflag::kNoTitleBar) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
  }
  Build();
  dialog_.Attach(*this);
  Push();
}

FormView::~FormView() {
  for (auto& [id, timer] : timers_) timer->stop();
}

void FormView::Run(TaskDialog& dialog, QtEventPump* pump, QWidget* parent, Ui* uiOverride) {
  FormView view(dialog, pump, parent);
  view.SetUiOverride(uiOverride);
  view.RunProcedure([&] { dialog.Open(); });
  if (dialog.ended()) return;
  view.exec();
}

void FormView::Build() {
  const DialogScreen& screen = dialog_.screen();
  widgets_.assign(screen.size(), nullptr);
  labels_.assign(screen.size(), nullptr);
  units_.assign(screen.size(), nullptr);

  std::map<std::string, QGridLayout*> grids;
  std::map<std::string, int> nextRow;
  std::map<std::string, bool> onlyButtons;
  auto* top = new QGridLayout;
  top->setSpacing(kGroupSpacing);
  // Groups beside the frame, top-aligned; only when the dialog has any.
  QVBoxLayout* beside = nullptr;
  for (const GroupSpec& group : screen.groups()) {
    QWidget* box = nullptr;
    if (group.caption.empty()) {
      box = new QWidget(this);
    } else {
      box = new QGroupBox(Text(group.caption), this);
    }
    auto* grid = new QGridLayout(box);
    if (group.caption.empty()) grid->setContentsMargins(0, 0, 0, 0);
    grids[group.id] = grid;
    nextRow[group.id] = 0;
    onlyButtons[group.id] = true;
    if (group.besideFrame) {
      if (beside == nullptr) {
        beside = new QVBoxLayout;
        beside->setSpacing(kGroupSpacing);
      }
      beside->addWidget(box);
    } else {
      QGridLayout* holder = group.parent.empty() ? top : grids.at(group.parent);
      holder->addWidget(box, group.row, group.column, group.rowSpan, group.columnSpan);
    }
  }
  if (beside != nullptr) beside->addStretch(1);
  for (const ControlSpec& c : screen.controls()) {
    if (c.kind != ControlKind::kButton) onlyButtons[c.group] = false;
  }

  std::map<std::string, QButtonGroup*> radioGroups;
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    QGridLayout* grid = grids.at(c.group);
    int& next = nextRow[c.group];
    const int row = c.row >= 0 ? c.row : next;
    const int rowSpan = std::max(c.rowSpan, 1);
    next = std::max(next, row + rowSpan);
    // A row of buttons stands at the right, after a stretching empty column.
    const int column = onlyButtons[c.group] ? c.column + 1 : c.column;
    if (onlyButtons[c.group]) grid->setColumnStretch(0, 1);

    QWidget* widget = MakeWidget(id);
    widgets_[id] = widget;
    if (c.kind == ControlKind::kRadio) {
      QButtonGroup*& buttons = radioGroups[c.group];
      if (buttons == nullptr) buttons = new QButtonGroup(this);
      buttons->addButton(static_cast<QRadioButton*>(widget));
    }
    const Qt::Alignment cellAlignment =
        c.Has(control::kCentred) ? Qt::AlignCenter : Qt::Alignment();
    if (TakesLabelColumns(c)) {
      auto* label = new QLabel(Text(c.label), this);
      ApplyFont(label, c, true);
      labels_[id] = label;
      auto* unit = new QLabel(this);
      units_[id] = unit;
      grid->addWidget(label, row, column, rowSpan, 1);
      grid->addWidget(widget, row, column + 1, rowSpan, c.columnSpan);
      grid->addWidget(unit, row, column + 1 + c.columnSpan, rowSpan, 1);
    } else {
      grid->addWidget(widget, row, column, rowSpan, c.columnSpan, cellAlignment);
      if (c.kind == ControlKind::kField && c.Has(control::kCell) && !c.unit.empty()) {
        auto* unit = new QLabel(this);
        units_[id] = unit;
        grid->addWidget(unit, row, column + c.columnSpan, rowSpan, 1);
      }
    }
  }

  auto* layout = new QHBoxLayout(this);
  if (screen.flags() & dialogflag::kFramed) {
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLayout(top);
    layout->addWidget(frame);
  } else {
    layout->addLayout(top);
  }
  if (beside != nullptr) layout->addLayout(beside);
}

QWidget* FormView::MakeWidget(size_t id) {
  const ControlSpec& c = dialog_.screen()[id];
  QWidget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::kField: {
      auto* field = new QLineEdit(this);
      if (c.Has(control::kFixedWidth) && c.width > 0) {
        field->setFixedWidth(c.width);
      } else {
        field->setMinimumWidth(c.width > 0 ? c.width : kFieldMinimumWidth);
      }
      if (!c.Has(control::kEditable)) {
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        MakeReadOnlyLook(field);
      }
      if (c.Has(control::kCentred)) field->setAlignment(Qt::AlignCenter);
      connect(field, &QLineEdit::textEdited, this, [this, id] {
        if (!pushing_) RunProcedure([this, id] { dialog_.Changed(id); });
      });
      widget = field;
      break;
    }
    case ControlKind::kText: {
      auto* text = new QPlainTextEdit(this);
      text->setReadOnly(!c.Has(control::kEditable));
      text->setTabChangesFocus(true);
      if (c.width > 0) text->setMinimumWidth(c.width);
      if (c.height > 0) text->setMinimumHeight(c.height);
      if (!c.Has(control::kEditable)) MakeReadOnlyLook(text);
      widget = text;
      break;
    }
    case ControlKind::kCheck: {
      auto* box = new QCheckBox(Text(c.label), this);
      connect(box, &QCheckBox::clicked, this, [this, id] {
        if (!pushing_) RunProcedure([this, id] { dialog_.Changed(id); });
      });
      widget = box;
      break;
    }
    case ControlKind::kList: {
      auto* list = new QComboBox(this);
      list->setMinimumWidth(c.width > 0 ? c.width : kFieldMinimumWidth);
      list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      connect(list, &QComboBox::activated, this, [this, id] {
        if (!pushing_) RunProcedure([this, id] { dialog_.Changed(id); });
      });
      widget = list;
      break;
    }
    case ControlKind::kRadio: {
      auto* radio = new QRadioButton(c.Has(control::kCell) ? QString() : Text(c.label), this);
      connect(radio, &QRadioButton::clicked, this, [this, id] {
        if (!pushing_) RunProcedure([this, id] { dialog_.Changed(id); });
      });
      widget = radio;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(Text(c.label), this);
      button->setMinimumWidth(kButtonMinimumWidth);
      button->setAutoDefault(false);
      button->setDefault(c.Has(control::kDefault));
      connect(button, &QPushButton::clicked, this,
              [this, id] { RunProcedure([this, id] { dialog_.Press(id); }); });
      widget = button;
      break;
    }
    case ControlKind::kProgress: {
      auto* bar = new QProgressBar(this);
      bar->setTextVisible(true);
      if (c.width > 0) bar->setMinimumWidth(c.width);
      widget = bar;
      break;
    }
    case ControlKind::kPicture: {
      auto* picture = new QLabel(this);
      picture->setFrameShape(QFrame::Box);
      picture->setFrameShadow(QFrame::Sunken);
      picture->setScaledContents(true);
      if (c.width > 0 && c.height > 0) picture->setFixedSize(c.width, c.height);
      widget = picture;
      break;
    }
    case ControlKind::kHeading: {
      if (c.Has(control::kRule)) {
        auto* rule = new QFrame(this);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Plain);
        if (c.width > 0) rule->setMinimumWidth(c.width);
        widget = rule;
        break;
      }
      auto* heading = new QLabel(Text(c.label), this);
      if (c.Has(control::kCentred)) heading->setAlignment(Qt::AlignCenter);
      if (c.Has(control::kAlignRight)) heading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      widget = heading;
      break;
    }
  }
  ApplyFont(widget, c);
  return widget;
}

void FormView::Push() {
  pushing_ = true;
  const DialogScreen& screen = dialog_.screen();
  const Form& form = dialog_.form();
  std::map<QButtonGroup*, bool> anyChecked;
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    const ControlState& s = form[id];
    QWidget* widget = widgets_[id];
    switch (c.kind) {
      case ControlKind::kField: {
        auto* field = static_cast<QLineEdit*>(widget);
        if (field->text() != Text(s.text)) field->setText(Text(s.text));
        break;
      }
      case ControlKind::kText: {
        auto* text = static_cast<QPlainTextEdit*>(widget);
        QString value = Text(s.text);
        value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (text->toPlainText() != value) {
          text->setPlainText(value);
          text->moveCursor(QTextCursor::End);
        }
        break;
      }
      case ControlKind::kCheck:
        static_cast<QCheckBox*>(widget)->setChecked(s.checked);
        break;
      case ControlKind::kRadio: {
        auto* radio = static_cast<QRadioButton*>(widget);
        // An exclusive group cannot be emptied button by button.
        if (QButtonGroup* group = radio->group()) group->setExclusive(false);
        radio->setChecked(s.checked);
        if (QButtonGroup* group = radio->group()) anyChecked[group] |= s.checked;
        break;
      }
      case ControlKind::kList: {
        auto* list = static_cast<QComboBox*>(widget);
        QStringList entries;
        for (const std::string& e : s.entries) entries << Text(e);
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
        if (shown != entries) {
          list->clear();
          list->addItems(entries);
        }
        list->setCurrentIndex(s.selection);
        break;
      }
      case ControlKind::kProgress: {
        auto* bar = static_cast<QProgressBar*>(widget);
        // Without a maximum the bar stands empty and silent: Qt's range 0...0 would animate it as
        // "busy" while nothing runs.
        const bool running = s.progressMax > 0;
        bar->setRange(0, running ? s.progressMax : 1);
        bar->setValue(running ? s.progress : 0);
        bar->setFormat(!s.text.empty() ? Text(s.text)
                       : running       ? QStringLiteral("%p%")
                                       : QString());
        break;
      }
      case ControlKind::kPicture: {
        auto* picture = static_cast<QLabel*>(widget);
        const QString file = Text(s.text);
        if (picture->property("file").toString() != file) {
          picture->setPixmap(file.isEmpty() ? QPixmap() : QPixmap(file));
          picture->setProperty("file", file);
        }
        break;
      }
      case ControlKind::kButton:
      case ControlKind::kHeading:
        break;
    }
    widget->setEnabled(s.enabled);
    widget->setVisible(s.visible);
    if (labels_[id] != nullptr) labels_[id]->setVisible(s.visible);
    if (units_[id] != nullptr) {
      units_[id]->setText(Text(s.unit));
      units_[id]->setVisible(s.visible);
    }
  }
  for (auto& [group, checked] : anyChecked) group->setExclusive(checked);
  pushing_ = false;
}

void FormView::Pull() {
  const DialogScreen& screen = dialog_.screen();
  Form& form = dialog_.form();
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    ControlState& s = form[id];
    QWidget* widget = widgets_[id];
    switch (c.kind) {
      case ControlKind::kField:
        if (c.Has(control::kEditable))
          s.text = static_cast<QLineEdit*>(widget)->text().toStdString();
        break;
      case ControlKind::kText:
        if (c.Has(control::kEditable)) {
          QString value = static_cast<QPlainTextEdit*>(widget)->toPlainText();
          value.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
          s.text = value.toStdString();
        }
        break;
      case ControlKind::kCheck:
        s.checked = static_cast<QCheckBox*>(widget)->isChecked();
        break;
      case ControlKind::kRadio:
        s.checked = static_cast<QRadioButton*>(widget)->isChecked();
        break;
      case ControlKind::kList:
        s.selection = static_cast<QComboBox*>(widget)->currentIndex();
        break;
      case ControlKind::kProgress:
      case ControlKind::kPicture:
      case ControlKind::kButton:
      case ControlKind::kHeading:
        break;
    }
  }
}

void FormView::RunProcedure(const std::function<void()>& procedure) {
  if (finished_) return;
  ++depth_;
  Pull();
  procedure();
  --depth_;
  Push();
  if (depth_ == 0 && dialog_.ended() && isVisible()) {
    finished_ = true;
    for (auto& [id, timer] : timers_) timer->stop();
    done(dialog_.end() == DialogEnd::kAccepted ? QDialog::Accepted : QDialog::Rejected);
  }
}

bool FormView::timerActive(int timerId) const {
  const auto it = timers_.find(timerId);
  return it != timers_.end() && it->second->isActive();
}

void FormView::reject() {
  RunProcedure([this] { dialog_.CloseBox(); });
}

void FormView::closeEvent(QCloseEvent* event) {
  if (finished_ || !isVisible()) {
    event->accept();
    return;
  }
  event->ignore();
  reject();
}

void FormView::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && qobject_cast<QPlainTextEdit*>(focusWidget()) == nullptr) {
    // Enter runs the default command, also when its button is not shown.
    const DialogScreen& screen = dialog_.screen();
    for (size_t id = 0; id < screen.size(); ++id) {
      if (screen[id].kind == ControlKind::kButton && screen[id].Has(control::kDefault) &&
          dialog_.form().Enabled(id)) {
        RunProcedure([this, id] { dialog_.Press(id); });
        return;
      }
    }
  }
  QDialog::keyPressEvent(event);
}

bool FormView::Quitting() const {
  return pump_ != nullptr && pump_->quitRequested();
}

QWidget* FormView::MessageParent() {
  return isVisible() || parentWidget() == nullptr ? this : parentWidget();
}

void FormView::Message(const std::string& text) {
  if (Quitting()) return;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->Message(text);
  ShowMessageBox(MessageParent(), text);
}

void FormView::MessageWithDetail(const std::string& text, const std::string& detail) {
  if (Quitting()) return;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->MessageWithDetail(text, detail);
  ShowMessageBox(MessageParent(), text, detail);
}

bool FormView::AskYesNo(const std::string& text) {
  if (Quitting()) return false;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->AskYesNo(text);
  return AskYesNoBox(MessageParent(), text);
}

bool FormView::AskYesNoDefaultNo(const std::string& text) {
  if (Quitting()) return false;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->AskYesNoDefaultNo(text);
  return AskYesNoBox(MessageParent(), text, DefaultAnswer::kNo);
}

bool FormView::AskYesNoCaptioned(const std::string& text, const std::string& caption) {
  if (Quitting()) return false;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->AskYesNo(text);
  return AskYesNoBox(MessageParent(), text, DefaultAnswer::kYes, caption.c_str());
}

bool FormView::AskOkCancel(const std::string& text) {
  if (Quitting()) return false;
  Push();
  if (uiOverride_ != nullptr) return uiOverride_->AskOkCancel(text);
  return AskOkCancelBox(MessageParent(), text);
}

void FormView::Refresh() {
  Push();
  repaint();
}

void FormView::KeepAlive() {
  Push();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FormView::RunChild(TaskDialog& child) {
  Push();
  Run(child, pump_, this, uiOverride_);
  dialog_.Attach(*this);
}

void FormView::StartTimer(int timerId, int periodMs) {
  QTimer*& timer = timers_[timerId];
  if (timer == nullptr) {
    timer = new QTimer(this);
    // A refresh of one second stays one second; a coarse timer drifts.
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this,
            [this, timerId] { RunProcedure([this, timerId] { dialog_.OnTimer(timerId); }); });
  }
  timer->start(periodMs);
}

void FormView::StopTimer(int timerId) {
  const auto it = timers_.find(timerId);
  if (it != timers_.end()) it->second->stop();
}

std::optional<std::string> FormView::Input(const InputSpec& input) {
  if (Quitting()) return std::nullopt;
  Push();
  return RunInputDialog(MessageParent(), input);
}

std::optional<std::filesystem::path> FormView::ChooseFile(const FileChooserSpec& wanted) {
  if (Quitting()) return std::nullopt;
  QFileDialog chooser(
      MessageParent(),
      QString::fromUtf8(wanted.title.data(), static_cast<qsizetype>(wanted.title.size())));
  chooser.setNameFilter(Text(FilterText(wanted)));
  chooser.setOption(QFileDialog::ReadOnly, false);
  if (!wanted.folder.empty()) chooser.setDirectory(QString::fromStdString(wanted.folder.string()));
  if (wanted.mode == FileChooserSpec::Mode::kSave) {
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    if (!wanted.defaultSuffix.empty())
      chooser.setDefaultSuffix(Text(std::string(wanted.defaultSuffix)));
  } else {
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
  }
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(chooser.selectedFiles().first().toStdString());
}

bool FormView::SavePicture(const std::filesystem::path& png) {
  Push();
  // RGB, not RGBA: an alpha channel would be stored as an uncompressed mask in the PDF.
  const QImage image = grab().toImage().convertToFormat(QImage::Format_RGB888);
  return image.save(QString::fromStdString(png.string()), "PNG");
}

}  // namespace korvin
