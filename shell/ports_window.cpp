#include "shell/ports_window.h"

#include "program/messages.h"
#include "program/program_values.h"
#include "program/settings_store.h"
#include "shell/traffic_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace qv {

namespace {

constexpr int kColumns[] = {msg::ColumnCom,     msg::ColumnDevice,    msg::ColumnStablePath,
                            msg::ColumnVidPid,  msg::ColumnSerial,    msg::ColumnManufacturer,
                            msg::ColumnProduct, msg::ColumnInterface, msg::ColumnDriver,
                            msg::ColumnState};
constexpr int kStablePathColumn = 2;
constexpr int kStateColumn = 9;
// A stable path is long (/dev/serial/by-id/usb-<maker>_<product>_<serial>-if00-port0): past this
// many average characters it is shortened in the middle, where the names differ least, and shown
// whole in its tooltip.
constexpr int kStablePathChars = 48;

QString ComName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

QString StateText(link::PortState state, int language) {
    switch (state) {
    case link::PortState::Ok:
        return Msg(msg::PortAvailable, language);
    case link::PortState::InUse:
        return Msg(msg::ReasonInUse, language);
    case link::PortState::NoPermission:
        return Msg(msg::PortNoPermission, language);
    case link::PortState::NotProbed:
        return Msg(msg::PortNotProbed, language);
    case link::PortState::Absent:
        return Msg(msg::ReasonNoDevice, language);
    case link::PortState::Error:
        break;
    }
    return Msg(msg::ReasonOther, language);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

PortsWindow::PortsWindow(const ProgramValues& values, link::PortRoots roots)
    : SideWindow(1000), values_(values), roots_(std::move(roots)), table_(new QTableWidget(this)),
      refresh_(new QPushButton(this)), com_(new QComboBox(this)), map_(new QPushButton(this)),
      clear_(new QPushButton(this)), mapping_(new QLabel(this)), empty_(new QLabel(this)) {
    setObjectName(QStringLiteral("PortsWindow"));
    table_->setObjectName(QStringLiteral("tblPorts"));
    table_->setColumnCount(static_cast<int>(std::size(kColumns)));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setTextElideMode(Qt::ElideMiddle);
    for (int n = link::kFirstComPort; n <= link::kLastComPort; ++n)
        com_->addItem(ComName(n), n);
    com_->setObjectName(QStringLiteral("cmbCom"));
    mapping_->setObjectName(QStringLiteral("lblMapping"));
    mapping_->setTextFormat(Qt::PlainText);
    empty_->setObjectName(QStringLiteral("lblNoPorts"));
    empty_->setTextFormat(Qt::PlainText);
    empty_->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(refresh_);
    top->addWidget(empty_);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(com_);
    bottom->addWidget(map_);
    bottom->addWidget(clear_);
    bottom->addWidget(mapping_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_);
    layout->addLayout(bottom);
    resize(640, 400);

    connect(refresh_, &QPushButton::clicked, this, &PortsWindow::refresh);
    connect(map_, &QPushButton::clicked, this, &PortsWindow::mapSelected);
    connect(clear_, &QPushButton::clicked, this, &PortsWindow::clearMapping);
    connect(com_, &QComboBox::currentIndexChanged, this, [this] {
        showMapping();
        updateButtons();
    });
    connect(table_, &QTableWidget::itemSelectionChanged, this, &PortsWindow::updateButtons);
    copyOnCopyKey(table_);
    applyLanguage();
}

void PortsWindow::showEvent(QShowEvent* event) {
    SideWindow::showEvent(event); // lists the ports once
    repaintTimer()->stop();
    if (!sized_) { // at the first showing, wide enough for every column, within the screen
        sized_ = true;
        // The frame, the scroll bar and a little air so that no horizontal scroll bar appears.
        int width = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width() +
                    6 * table_->fontMetrics().averageCharWidth();
        for (int c = 0; c < table_->columnCount(); ++c)
            width += table_->columnWidth(c);
        width += layout()->contentsMargins().left() + layout()->contentsMargins().right();
        if (const QScreen* s = screen())
            width = std::min(width, s->availableGeometry().width());
        resize(std::max(width, this->width()), height());
    }
}

void PortsWindow::applyLanguage() {
    const int l = values_.LanguageIndex;
    setWindowTitle(Msg(msg::PortsTitle, l));
    QStringList headers;
    for (int k : kColumns)
        headers << Msg(k, l);
    table_->setHorizontalHeaderLabels(headers);
    refresh_->setText(Msg(msg::Refresh, l));
    map_->setText(Msg(msg::MapToPort, l));
    clear_->setText(Msg(msg::ClearMapping, l));
    empty_->setText(Msg(msg::NoPortsFound, l));
    fillTable(selectedDevice());
    showMapping();
}

void PortsWindow::refresh() {
    const std::string keep = selectedDevice();
    survey_ = link::SurveyPorts(roots_, ReadPortMap());
    fillTable(keep);
    showMapping();
}

std::string PortsWindow::selectedDevice() const {
    const link::PortStatus* selected = selectedPort();
    return selected ? selected->port.device : std::string();
}

void PortsWindow::fillTable(const std::string& keep) {
    const int l = values_.LanguageIndex;
    table_->clearContents();
    table_->setRowCount(static_cast<int>(survey_.size()));
    int selectRow = -1;
    for (int row = 0; row < static_cast<int>(survey_.size()); ++row) {
        const link::PortStatus& s = survey_[static_cast<std::size_t>(row)];
        QStringList numbers;
        for (int n : s.comNumbers)
            numbers << ComName(n);
        const QString cells[] = {
            numbers.join(QStringLiteral(", ")),
            Text(s.port.device),
            Text(s.port.stablePath),
            Text(link::UsbIdText(s.port)),
            Text(s.port.serial),
            Text(s.port.manufacturer),
            Text(s.port.product),
            s.port.interfaceNumber >= 0 ? QString::number(s.port.interfaceNumber) : QString(),
            Text(s.port.driver),
            StateText(s.state, l)};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c)
            table_->setItem(row, c, new QTableWidgetItem(cells[c]));
        table_->item(row, kStablePathColumn)->setToolTip(cells[kStablePathColumn]);
        if (s.state == link::PortState::NoPermission)
            table_->item(row, kStateColumn)
                ->setToolTip(DescribeReason(link::SerialError::AccessDenied, l));
        if (!keep.empty() && s.port.device == keep)
            selectRow = row;
    }
    if (selectRow >= 0)
        table_->selectRow(selectRow);
    table_->resizeColumnsToContents();
    const int widest = table_->fontMetrics().averageCharWidth() * kStablePathChars;
    if (table_->columnWidth(kStablePathColumn) > widest)
        table_->setColumnWidth(kStablePathColumn, widest);
    empty_->setVisible(survey_.empty());
    updateButtons();
}

int PortsWindow::chosenNumber() const {
    return com_->currentData().toInt();
}

const link::PortStatus* PortsWindow::selectedPort() const {
    const auto rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    const auto row = static_cast<std::size_t>(rows.front().row());
    return row < survey_.size() ? &survey_[row] : nullptr;
}

void PortsWindow::showMapping() {
    const int l = values_.LanguageIndex;
    const int n = chosenNumber();
    const link::PortMap overrides = ReadPortMap();
    if (const auto it = overrides.find(n); it != overrides.end()) {
        mapping_->setText(Msg(msg::ComMappedTo, l).arg(ComName(n), Text(it->second)));
    } else if (const std::string fixed = link::ResolveComPort(n, {}); !fixed.empty()) {
        mapping_->setText(Msg(msg::ComFixed, l).arg(ComName(n), Text(fixed)));
    } else {
        mapping_->setText(Msg(msg::ComNoDevice, l).arg(ComName(n)));
    }
}

void PortsWindow::updateButtons() {
    map_->setEnabled(selectedPort() != nullptr);
    clear_->setEnabled(ReadPortMap().contains(chosenNumber()));
}

void PortsWindow::mapSelected() {
    const link::PortStatus* selected = selectedPort();
    if (!selected)
        return;
    std::vector<link::PortInfo> ports;
    for (const auto& s : survey_)
        ports.push_back(s.port);
    SavePortOverride(chosenNumber(), Text(link::StablePortName(selected->port, ports)));
    refresh();
}

void PortsWindow::clearMapping() {
    SavePortOverride(chosenNumber(), QString());
    refresh();
}

void PortsWindow::copySelected() {
    const auto rows = table_->selectionModel()->selectedRows();
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int c = 0; c < table_->columnCount(); ++c)
            cells << table_->item(row.row(), c)->text();
        lines << cells.join('\t');
    }
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

} // namespace qv
