// The program's three windows, each reached by its single-instance reference.
#pragma once

#include "forms/Form.h"

class MainForm;
class ViewForm;
class SplashForm;

inline forms::FormRef<MainForm> frmMain;
inline forms::FormRef<ViewForm> frmView;
inline forms::FormRef<SplashForm> frmSplash;
