#pragma once

void ShowAboutWindow();
