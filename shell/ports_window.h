#pragma once
// The Ports window: the machine's serial ports with their USB identity, the COM number each has
// in this program and whether it can be opened now; and the mapping of a COM number to a port
// (Ports/COMn of the settings store), which the next scan or open uses. A top-level window beside
// Tu. The ports are listed and probed when the window is shown and on Refresh only: probing opens
// every port, which is nothing to repeat on a timer.

#include "link/ports/port_status.h"
#include "shell/side_window.h"

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace qv {

struct ProgramValues;

class PortsWindow : public SideWindow {
    Q_OBJECT
public:
    explicit PortsWindow(const ProgramValues& values,
                         link::PortRoots roots = link::PortRootsFromEnvironment());

    void applyLanguage();

    QTableWidget* table() const { return table_; }
    QComboBox* comNumber() const { return com_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* mapButton() const { return map_; }
    QPushButton* clearButton() const { return clear_; }
    // What the chosen COM number leads to now.
    QLabel* mappingLabel() const { return mapping_; }
    const std::vector<link::PortStatus>& ports() const { return survey_; }

public slots:
    // Lists and probes the ports again; the selection stays on its device.
    void refresh();
    // Maps the chosen COM number to the selected port's stable name (its usb: selector when the
    // adapter has a serial number that names it, else its stable path).
    void mapSelected();
    // The chosen COM number goes back to the fixed table.
    void clearMapping();
    void copySelected();

protected:
    void refreshView() override { refresh(); }
    void copySelection() override { copySelected(); }
    void showEvent(QShowEvent* event) override;

private:
    // The rows from the last survey, the row of device `keep` selected.
    void fillTable(const std::string& keep);
    std::string selectedDevice() const;
    void showMapping();
    void updateButtons();
    int chosenNumber() const;
    const link::PortStatus* selectedPort() const;

    const ProgramValues& values_;
    const link::PortRoots roots_;
    std::vector<link::PortStatus> survey_;
    QTableWidget* table_;
    QPushButton* refresh_;
    QComboBox* com_;
    QPushButton* map_;
    QPushButton* clear_;
    QLabel* mapping_;
    QLabel* empty_;
    bool sized_ = false;
};

} // namespace qv
