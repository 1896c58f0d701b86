#pragma once

// The demo's two pictures, drawn with the current GL context. Shared with the
// draw-loop benchmarks so every contender draws exactly the same scene.
#include <GL/gl.h>
#include <GL/glu.h>

namespace scene {

// Three overlapping triangles turned by `theta` degrees about the z axis:
// a half-transparent one with red, green and blue corners, an opaque red and
// an opaque magenta right triangle.
inline void draw_triangles(float theta) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 200, 200);
    const float d1 = 0.0f;
    const float d2 = 0.1f;
    glPushMatrix();
    glRotatef(theta, 0, 0, 1);
    glBegin(GL_TRIANGLES);
    glColor4f(1, 0, 0, 0.5f);
    glVertex3f(0, 1, d1);
    glColor4f(0, 1, 0, 0.5f);
    glVertex3f(0.87f, -0.5f, d1);
    glColor4f(0, 0, 1, 0.5f);
    glVertex3f(-0.87f, -0.5f, d1);
    glColor4f(1, 0, 0, 1);
    glVertex3f(0, 0, d2);
    glVertex3f(1, 0, d2);
    glVertex3f(0, 1, d2);
    glColor4f(1, 0, 1, 1);
    glVertex3f(0, 0, -d2);
    glVertex3f(-1, 0, -d2);
    glVertex3f(0, -1, -d2);
    glEnd();
    glPopMatrix();
}

// An opaque red square inset 5 pixels in the 200 x 200 drawing area; leaves
// the projection as it found it.
inline void draw_square() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, 200, 0, 200);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(5, 5);
    glVertex2f(195, 5);
    glVertex2f(195, 195);
    glVertex2f(5, 195);
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// The GL state both frames share: blending and the depth test.
inline void set_shared_state() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace scene
