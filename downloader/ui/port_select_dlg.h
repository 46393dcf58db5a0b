#pragma once
// The port dialog: lists the registered COM ports, preselects the one used last
// time, asks "Execute Download?", and on OK remembers the choice under TransPort.

#include <cstdint>

#include "downloader/platform/registry.h"
#include "downloader/ui/dialog.h"

namespace dravik {

inline constexpr char kDravikKey[] = "Software\\Ostrel Terminal\\Dravik";

class CPortSelectDlg : public CDialog {
 public:
  CPortSelectDlg(FrontEnd& frontEnd, Registry& registry);

  // First the remembered port, after OK the chosen one.
  uint16_t m_nPort = 1;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnControlCommand(int controlId, int notification) override;

 private:
  void OnSelChangePortList() {}
  uint16_t RememberedPort();
  void FillPortList();

  Registry& registry_;
};

}  // namespace dravik
