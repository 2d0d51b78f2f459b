// The four OpenGL 1.x immediate-mode calls the overlay windows draw with,
// coordinates in window pixels. The simulator's process provides them.
#pragma once

#ifdef _WIN32
#define QS_GL_API __stdcall
#else
#define QS_GL_API
#endif

enum : unsigned {
  GL_LINES = 0x0001,
  GL_QUADS = 0x0007,
};

extern "C" {
void QS_GL_API glColor4f(float red, float green, float blue, float alpha);
void QS_GL_API glBegin(unsigned mode);
void QS_GL_API glVertex2f(float x, float y);
void QS_GL_API glEnd(void);
}
