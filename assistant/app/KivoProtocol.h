// The program's one COM class, CLSID_KivoProtocol (IKivoProtocol), served by the local COM
// server and registered by /RegServer; the program's own pages never use it.
#pragma once

#include <string>

#include "objbase.h"

// {76E04540-7128-4CA9-A02F-9ADA30DFD797}
extern const CLSID CLSID_KivoProtocol;
// {31FB725B-FE72-4328-831A-4B4947271B42}
extern const IID IID_IKivoProtocol;

// The class object handed to CoRegisterClassObject: every object it makes holds a lock on
// the module (CKivoModule) while it lives.
IClassFactory* KivoProtocolFactory();

// The protocol's message box ("Can not open file."); the HTML-UI host shows it as a box, the
// plain program writes it to standard error.
void ShowKivoProtocolMessage(const std::u16string& strText);
