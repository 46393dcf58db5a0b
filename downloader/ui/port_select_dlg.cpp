#include "downloader/ui/port_select_dlg.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/ui/com_ports.h"

namespace dravik {

CPortSelectDlg::CPortSelectDlg(FrontEnd& frontEnd, Registry& registry)
    : CDialog(frontEnd, kPortSelectDialog), registry_(registry) {}

bool CPortSelectDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_nPort = RememberedPort();
  FillPortList();
  SetDlgItemText(IDC_QUESTION, LoadString(IDS_EXECUTE_DOWNLOAD));
  return true;
}

// The value is read into four bytes whatever its type, as the original query does;
// bytes the value does not fill stay zero.
uint16_t CPortSelectDlg::RememberedPort() {
  const auto value = registry_.QueryValue(kDravikKey, LoadStringView(IDS_TRANSPORT_VALUE));
  if (!value || value->data.size() > 4) return 1;
  uint8_t bytes[4] = {};
  std::memcpy(bytes, value->data.data(), value->data.size());
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void CPortSelectDlg::FillPortList() {
  std::vector<std::string> ports;
  if (EnumerateComPorts(registry_, ports) <= 0) return;
  const std::string remembered = "COM" + std::to_string(m_nPort);
  for (size_t i = 0; i < ports.size(); ++i) {
    const int index = state().ComboInsert(IDC_PORT_LIST, -1, ports[i]);
    if (i == 0 || ports[i] == remembered) state().ComboSetSelection(IDC_PORT_LIST, index);
    state().ComboSetData(IDC_PORT_LIST, index, std::atoi(ports[i].c_str() + 3));
  }
}

void CPortSelectDlg::OnControlCommand(int controlId, int notification) {
  if (controlId == IDC_PORT_LIST && notification == CBN_SELCHANGE) OnSelChangePortList();
}

void CPortSelectDlg::OnOK() {
  // With an empty list there is no selection and the list answers -1: 65535.
  const int selection = state().ComboSelection(IDC_PORT_LIST);
  m_nPort = static_cast<uint16_t>(state().ComboData(IDC_PORT_LIST, selection));
  registry_.SetValue(kDravikKey,
                     RegValue::Dword(std::string(LoadStringView(IDS_TRANSPORT_VALUE)), m_nPort));
  CDialog::OnOK();
}

}  // namespace dravik
