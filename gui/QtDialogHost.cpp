#include "gui/QtDialogHost.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>

#include "gui/Pictures.h"
#include "resources/DialogUnits.h"
#include "resources/Pictures.h"
#include "resources/ResourceIds.h"

namespace torvane::gui {
namespace {

using resources::ControlClass;
namespace style = resources::style;

constexpr char kDialogFontFamily[] = "WenQuanYi Micro Hei";

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

bool Has(std::uint32_t styles, std::uint32_t flag) { return (styles & flag) != 0; }

QRect ToPixels(const resources::DialogRect& rect, double dpi) {
  const resources::PixelRect p = resources::DialogUnitsToPixels(rect, dpi);
  return QRect(p.x, p.y, p.width, p.height);
}

}  // namespace

// --- QtDialogWindow ---------------------------------------------------------------------------------

QtDialogWindow::QtDialogWindow(QtDialogHost& host, const resources::DialogTemplate& dialogTemplate,
                               app::CDialog& dialog, QWidget* parent)
    : QDialog(parent), host_(host), template_(dialogTemplate), dialog_(dialog) {
  setWindowTitle(ToQString(template_.caption));
  QFont font(QString::fromLatin1(kDialogFontFamily));
  font.setPointSizeF(template_.fontPoints);
  setFont(font);
  setSizeGripEnabled(false);
  setAcceptDrops(Has(template_.style, resources::dialog_style::kAcceptFiles));
  const QScreen* screen = parent != nullptr ? parent->screen() : QApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : resources::kReferenceDpi;
  setFixedSize(resources::DialogUnitsToPixelsX(template_.width, dpi),
               resources::DialogUnitsToPixelsY(template_.height, dpi));
  CreateControls(dpi);
}

void QtDialogWindow::CreateControls(double dpi) {
  std::vector<QWidget*> inOrder;
  for (const resources::ControlTemplate& control : template_.controls) {
    QWidget* widget = CreateControl(control, dpi);
    widget->setGeometry(ToPixels(control.rect, dpi));
    widget->setVisible(!Has(control.style, style::kHidden));
    widget->setEnabled(!Has(control.style, style::kDisabled));
    if (control.id != resources::kIdStatic && controls_.find(control.id) == controls_.end()) {
      controls_[control.id] = widget;
    }
    inOrder.push_back(widget);
  }
  // Template order is stacking order: the first control lies on top, the tab control at the bottom.
  for (auto it = inOrder.rbegin(); it != inOrder.rend(); ++it) (*it)->raise();
  for (std::size_t i = 1; i < tabStops_.size(); ++i) setTabOrder(tabStops_[i - 1], tabStops_[i]);
}

QWidget* QtDialogWindow::CreateControl(const resources::ControlTemplate& control, double dpi) {
  const QString text = ToQString(control.text);
  const int id = control.id;
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlClass::Button: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      button->setDefault(Has(control.style, style::kDefaultButton));
      connect(button, &QPushButton::clicked, this, [this, id] { dialog_.RouteCommand(id); });
      widget = button;
      break;
    }
    case ControlClass::Edit: {
      auto* edit = new QLineEdit(text, this);
      if (Has(control.style, style::kReadOnly)) {
        // A read-only edit shows the dialog's background, as on the platform.
        edit->setReadOnly(true);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
      }
      edit->setFrame(Has(control.style, style::kBorder));
      if (Has(control.style, style::kCentered)) edit->setAlignment(Qt::AlignCenter);
      connect(edit, &QLineEdit::textChanged, this, [this, id] { dialog_.RouteEditChange(id); });
      widget = edit;
      break;
    }
    case ControlClass::Static: {
      auto* label = new QLabel(this);
      const QRect box = ToPixels(control.rect, dpi);
      if (Has(control.style, style::kBitmap) || Has(control.style, style::kIcon)) {
        if (const resources::Picture* picture = resources::FindPicture(control.imageId)) {
          // An icon is drawn at the system's icon size; a bitmap fills its place.
          const int iconSize = 32;
          const bool isIcon = Has(control.style, style::kIcon);
          label->setPixmap(QPixmap::fromImage(RenderPicture(*picture, isIcon ? iconSize : box.width(),
                                                            isIcon ? iconSize : box.height())));
        }
      } else {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
      }
      widget = label;
      break;
    }
    case ControlClass::ProgressBar: {
      auto* bar = new QProgressBar(this);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      widget = bar;
      break;
    }
    case ControlClass::TabControl: {
      auto* tabs = new QTabWidget(this);
      connect(tabs, &QTabWidget::currentChanged, this, [this, id] { dialog_.RouteTabChange(id); });
      widget = tabs;
      break;
    }
  }
  const bool tabStop = Has(control.style, style::kTabStop);
  if (control.kind == ControlClass::Static) {
    widget->setFocusPolicy(Qt::NoFocus);
  } else {
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  if (tabStop) tabStops_.push_back(widget);
  return widget;
}

QWidget* QtDialogWindow::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void QtDialogWindow::ShowControl(int id, bool show) {
  if (QWidget* w = Control(id)) w->setVisible(show);
}

void QtDialogWindow::EnableControl(int id, bool enable) {
  if (QWidget* w = Control(id)) w->setEnabled(enable);
}

bool QtDialogWindow::IsControlVisible(int id) const {
  const QWidget* w = Control(id);
  return w != nullptr && !w->isHidden();
}

bool QtDialogWindow::IsControlEnabled(int id) const {
  const QWidget* w = Control(id);
  return w != nullptr && !w->testAttribute(Qt::WA_Disabled);
}

void QtDialogWindow::SetControlText(int id, const std::u16string& text) {
  QWidget* w = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(ToQString(text));
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(ToQString(text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(ToQString(text));
  }
}

std::u16string QtDialogWindow::ControlText(int id) const {
  const QWidget* w = Control(id);
  if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return ToU16(edit->text());
  if (const auto* button = qobject_cast<const QPushButton*>(w)) return ToU16(button->text());
  if (const auto* label = qobject_cast<const QLabel*>(w)) return ToU16(label->text());
  return {};
}

void QtDialogWindow::SetBarRange(int id, int minimum, int maximum) {
  if (auto* bar = qobject_cast<QProgressBar*>(Control(id))) bar->setRange(minimum, maximum);
}

void QtDialogWindow::SetBarPosition(int id, int position) {
  // A position outside the range is clamped to it, as a progress control does; QProgressBar would
  // ignore it and keep the bar where it was.
  if (auto* bar = qobject_cast<QProgressBar*>(Control(id))) {
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  }
}

void QtDialogWindow::InsertTab(int id, int index, const std::u16string& text) {
  if (auto* tabs = qobject_cast<QTabWidget*>(Control(id))) {
    const QSignalBlocker quiet(tabs);
    auto* page = new QWidget(tabs);
    page->setAutoFillBackground(false);
    tabs->insertTab(index, page, ToQString(text));
  }
}

void QtDialogWindow::SelectTab(int id, int index) {
  if (auto* tabs = qobject_cast<QTabWidget*>(Control(id))) {
    const QSignalBlocker quiet(tabs);
    tabs->setCurrentIndex(index);
  }
}

int QtDialogWindow::SelectedTab(int id) const {
  if (const auto* tabs = qobject_cast<const QTabWidget*>(Control(id))) return tabs->currentIndex();
  return -1;
}

bool QtDialogWindow::HasSystemMenu() const { return Has(template_.style, resources::dialog_style::kSystemMenu); }

void QtDialogWindow::AppendMenuSeparator() { menu_.emplace_back(0, QString()); }

void QtDialogWindow::AppendMenuItem(int command, const std::u16string& text) {
  menu_.emplace_back(command, ToQString(text));
}

void QtDialogWindow::SetIcon(int pictureId) {
  if (pictureId == resources::kAppIcon) setWindowIcon(ProgramIcon());
}

void QtDialogWindow::UpdateWindow() {
  if (isVisible()) repaint();
}

void QtDialogWindow::EndDialog(int result) {
  endRequested_ = true;
  endResult_ = result;
  QDialog::done(result);
}

void QtDialogWindow::GiveInitialFocus(bool toFirstTabStop) {
  if (!toFirstTabStop) return;
  for (QWidget* w : tabStops_) {
    if (!w->isHidden() && w->isEnabled()) {
      w->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void QtDialogWindow::accept() { dialog_.RouteCommand(resources::kIdOk); }
void QtDialogWindow::reject() { dialog_.RouteCommand(resources::kIdCancel); }

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Escape) {
    reject();
    return;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // Enter presses the focused push button, otherwise the dialog's OK.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      accept();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (menu_.empty()) {
    event->ignore();
    return;
  }
  QMenu menu(this);
  for (const auto& [command, text] : menu_) {
    if (command == 0) {
      menu.addSeparator();
    } else {
      menu.addAction(text)->setData(command);
    }
  }
  if (QAction* chosen = menu.exec(event->globalPos())) dialog_.RouteSysCommand(chosen->data().toInt());
}

void QtDialogWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) {
        event->acceptProposedAction();
        return;
      }
    }
  }
}

void QtDialogWindow::dropEvent(QDropEvent* event) {
  std::vector<std::u16string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(ToU16(url.toLocalFile()));
  }
  event->acceptProposedAction();
  dialog_.RouteDropFiles(paths);
}

// --- QtDialogHost -----------------------------------------------------------------------------------

QtDialogHost::QtDialogHost(resources::Language language) : language_(language) {}

QtDialogHost::~QtDialogHost() = default;

QtDialogWindow* QtDialogHost::Open(const resources::DialogTemplate& dialogTemplate, app::CDialog& dialog, bool show) {
  QWidget* parent = windows_.empty() ? nullptr : windows_.back();
  auto* window = new QtDialogWindow(*this, dialogTemplate, dialog, parent);
  windows_.push_back(window);
  dialog.Attach(window);
  const bool focusFirst = dialog.OnInitDialog();
  window->GiveInitialFocus(focusFirst);
  if (show && !window->EndRequested()) window->show();
  return window;
}

void QtDialogHost::Close(QtDialogWindow* window) {
  // The dialog's own clean-up runs while its controls still exist, as on the platform.
  window->Dialog().RouteDestroy();
  window->Dialog().Attach(nullptr);
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if (*it == window) {
      windows_.erase(it);
      break;
    }
  }
  delete window;
}

int QtDialogHost::RunModal(const resources::DialogTemplate& dialogTemplate, app::CDialog& dialog) {
  QtDialogWindow* window = Open(dialogTemplate, dialog, false);
  if (!window->EndRequested()) window->exec();
  const int result = window->EndResult();
  Close(window);
  return result;
}

QWidget* QtDialogHost::MessageOwner() const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if ((*it)->isVisible()) return *it;
  }
  return nullptr;
}

void QtDialogHost::ShowMessage(std::u16string_view text) {
  QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), ToQString(text), QMessageBox::Ok,
                  MessageOwner());
  box.exec();
}

void QtDialogHost::ShowCaptionedMessage(std::u16string_view text, std::u16string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, MessageOwner());
  box.exec();
}

std::optional<std::u16string> QtDialogHost::ChooseFileToOpen(const app::OpenFileRequest& request) {
  if (fileChooser_) return fileChooser_(request);
  QStringList filters;
  for (const auto& [label, pattern] : request.filters) filters << ToQString(label);
  QFileDialog dialog(nullptr);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToU16(dialog.selectedFiles().front());
}

void QtDialogHost::PostToInterface(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace torvane::gui
