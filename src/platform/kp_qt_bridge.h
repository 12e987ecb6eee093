// The Qt side of window handles: a handle is a QObject pointer seen as an
// opaque pointer, dialog items and menu items carry the kernel's identifier
// as a property, and kernel texts (Mac Roman) become QStrings here.
// Qt header: the kernel never includes it.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "platform/win_types.h"

class NSKelvoWrapMachine;

inline HWND kp_hwnd(QObject* object) { return static_cast<void*>(object); }
inline QObject* kp_qobject(HWND handle) { return static_cast<QObject*>(handle); }

// The kernel identifier of a control or menu item (its tag).
void kp_set_item_id(QObject* item, int id);
bool kp_item_id(const QObject* item, int* id);

// A procedure wrapper bound to a page (a tab page of a sheet): the page then
// answers sent messages by calling the wrapped procedure. The page does not
// own the wrapper.
void kp_bind_procedure(QObject* page, NSKelvoWrapMachine* wrapper);
NSKelvoWrapMachine* kp_bound_procedure(const QObject* page);

QString kp_qstring(const char* kernel_text);
std::string kp_kernel_text(const QString& text);
// Copies a kernel text into a caller's buffer of capacity bytes, the
// terminating zero included; answers the bytes copied without the zero.
int kp_copy_text(const std::string& text, char* buffer, int capacity);
