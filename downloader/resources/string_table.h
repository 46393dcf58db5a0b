#pragma once
// The program's string table: every user-visible text, by id.

#include <cstdint>
#include <string>
#include <string_view>

namespace dravik {

enum StringId : uint16_t {
  IDS_ABOUTBOX = 101,
  IDS_QUIT_TRANSFER = 20004,
  IDS_TRANSFER_COMPLETE = 20006,
  IDS_TRANSFERRING = 20007,
  IDS_POWER_WARNING = 20008,
  IDS_CONNECTING = 20009,
  IDS_HELP_FILE_NAME = 20270,
  IDS_WRONG_FORMAT = 25000,
  IDS_PROGRAMMED_FILE_BROKEN = 25002,
  IDS_COMMUNICATION_ERROR = 25003,
  IDS_BCC_ERROR = 25004,
  IDS_PARITY_ERROR = 25005,
  IDS_DATA_ERROR = 25006,
  IDS_FULL_OF_MEMORY = 25007,
  IDS_FLASH_WRITE_ERROR = 25008,
  IDS_FIRMWARE_UPDATE_REQUEST = 25009,
  IDS_BUSY_ERROR = 25010,
  IDS_PORT_OPEN_FAILED = 25011,
  IDS_PORT_SETTING_FAILED = 25012,
  IDS_WRONG_MACHINE_TYPE = 25013,
  IDS_TIMEOUT_ERROR = 25014,
  IDS_RECEIVED_DATA_ERROR = 25015,
  IDS_CANNOT_COMMUNICATE = 25017,
  IDS_CANNOT_ENTER_UPDATE_MODE = 25018,
  IDS_WRONG_CODE = 25019,
  IDS_CODE_BAD_CHARACTER = 25020,
  IDS_CODE_TOO_LONG = 25021,
  IDS_EXECUTE_DOWNLOAD = 27001,
  IDS_ABOUT_CAPTION = 27101,
  IDS_ABOUT_VERSION = 27102,
  IDS_ABOUT_DESCRIPTION = 27103,
  IDS_CODE_PROMPT_LABEL = 27201,
  IDS_CODE_PROMPT_MACHINE = 27202,
  IDS_APP_TITLE = 57344,
  IDS_PACKAGE_NOT_FOUND = 57345,
  IDS_PACKAGE_OPEN_FAILED = 57346,
  IDS_PACKAGE_BROKEN = 57347,
  IDS_INTERRUPTING = 57348,
  IDS_INTERRUPTED = 57349,
  IDS_TRANSPORT_VALUE = 60000,
};

struct StringEntry {
  uint16_t id;
  std::string_view text;
};

inline constexpr StringEntry kStringTable[] = {
    {IDS_ABOUTBOX, "&About..."},
    {IDS_QUIT_TRANSFER, "Quit transfer?"},
    {IDS_TRANSFER_COMPLETE, "Transfer complete."},
    {IDS_TRANSFERRING, "Transferring"},
    {IDS_POWER_WARNING, "Warning: Don't cut off the power supply."},
    {IDS_CONNECTING, "Connecting"},
    {IDS_HELP_FILE_NAME, ""},
    {IDS_WRONG_FORMAT, "Format of the selected file is not for this machine."},
    {IDS_PROGRAMMED_FILE_BROKEN, "The programmed file of VQ is broken."},
    {IDS_COMMUNICATION_ERROR, "Communication Error"},
    {IDS_BCC_ERROR, "BCC Error"},
    {IDS_PARITY_ERROR, "Parity Error"},
    {IDS_DATA_ERROR, "Data Error"},
    {IDS_FULL_OF_MEMORY, "Full of memory"},
    {IDS_FLASH_WRITE_ERROR, "Writing Error of Flash ROM"},
    {IDS_FIRMWARE_UPDATE_REQUEST, "Update request of firmware from VQ."},
    {IDS_BUSY_ERROR, "Busy Error"},
    {IDS_PORT_OPEN_FAILED, "Selected COM port cannot be opened."},
    {IDS_PORT_SETTING_FAILED, "Setting of communication device is failed"},
    {IDS_WRONG_MACHINE_TYPE, "Can not send file to currently connected machine type."},
    {IDS_TIMEOUT_ERROR, "Timeout Error"},
    {IDS_RECEIVED_DATA_ERROR, "Received data Error"},
    {IDS_CANNOT_COMMUNICATE, "Cannot communicate with VQ."},
    {IDS_CANNOT_ENTER_UPDATE_MODE, "Cannot switch to firmware update mode."},
    {IDS_WRONG_CODE, "The code does not match this panel. Enter it again."},
    {IDS_CODE_BAD_CHARACTER, "The code may contain only the letters A to Z and the digits 0 to 9."},
    {IDS_CODE_TOO_LONG, "The code has at most 8 characters."},
    {IDS_EXECUTE_DOWNLOAD, "Execute Download?"},
    {IDS_ABOUT_CAPTION, "About Dravik"},
    {IDS_ABOUT_VERSION, "Dravik Version 1.0"},
    {IDS_ABOUT_DESCRIPTION, "Downloader for the panels of the VQ family"},
    {IDS_CODE_PROMPT_LABEL, "Enter the code of the panel:"},
    {IDS_CODE_PROMPT_MACHINE, "Machine type"},
    {IDS_APP_TITLE, "Dravik"},
    {IDS_PACKAGE_NOT_FOUND, "Cannot find transfered data (data.dvx)"},
    {IDS_PACKAGE_OPEN_FAILED, "Cannot open transfered data (data.dvx)"},
    {IDS_PACKAGE_BROKEN, "Transfered data (data.dvx) is broken"},
    {IDS_INTERRUPTING, "Interrupting transfer"},
    {IDS_INTERRUPTED, "Transfer is interrupted"},
    {IDS_TRANSPORT_VALUE, "TransPort"},
};

// CString::LoadString: the text of id, empty for an id the table does not have.
constexpr std::string_view LoadStringView(uint16_t id) {
  for (const auto& entry : kStringTable) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

inline std::string LoadString(uint16_t id) {
  return std::string(LoadStringView(id));
}

}  // namespace dravik
