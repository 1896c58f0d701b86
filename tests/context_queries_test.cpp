#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <map>
#include <string>

#include "quarn/context.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"

// This binary links with --wrap=glGetString: a test can put its own strings
// in place of the GL implementation's, and count the queries.
namespace seam {
std::map<GLenum, const char*> strings;  // replaces glGetString for these names
int calls = 0;
}  // namespace seam

extern "C" {
const GLubyte* __real_glGetString(GLenum name);
const GLubyte* __wrap_glGetString(GLenum name) {
    ++seam::calls;
    const auto fake = seam::strings.find(name);
    if (fake != seam::strings.end()) return reinterpret_cast<const GLubyte*>(fake->second);
    return __real_glGetString(name);
}
}

namespace {

class Queries : public quarn_test::LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        quarn_test::StdoutCapture quiet;
        context = new Quarn::Context::Context(2, 1);
    }
    void TearDown() override {
        seam::strings.clear();
        delete context;
        LibraryTest::TearDown();
    }

    Quarn::Context::Context* context = nullptr;
};

TEST_F(Queries, RealContextReportsMesaStrings) {
    EXPECT_NE(std::string(context->get_vendor()), "Quarn::Unknown");
    EXPECT_NE(std::string(context->get_renderer()).find("llvmpipe"), std::string::npos);
    int major = 0, minor = -1;
    context->get_version_gl(&major, &minor);
    EXPECT_GE(major * 10 + minor, 21);  // at least the 2.1 that was asked for
    EXPECT_EQ(std::string(context->get_version_gl()).substr(0, 3), std::to_string(major) + "." + std::to_string(minor));
    int glsl_major = 0, glsl_minor = 0, release = 7;
    context->get_version_glsl(&glsl_major, &glsl_minor, &release);
    EXPECT_GE(glsl_major, 1);
    EXPECT_TRUE(context->supports_extension("GL_ARB_vertex_buffer_object"));
    EXPECT_FALSE(context->supports_extension("GL_ARB_vertex_buffer"));
    EXPECT_FALSE(context->supports_extension("GL_QUARN_no_such_extension"));
}

struct VersionCase {
    const char* text;
    bool glsl;                  // parse through get_version_glsl (with a release) or get_version_gl
    int major, minor, release;  // release -99: must stay unwritten
};

TEST_F(Queries, VersionStringsParseIntoNumbers) {
    const VersionCase cases[] = {
        {"2.1 vendor text", false, 2, 1, -99},
        {"4.2.0 vendor 1.5", true, 4, 2, 0},
        {"4.20 vendor text", true, 4, 20, -1},
        {"1.30", true, 1, 30, 0},
        {"1.30.10", true, 1, 30, 10},
        {"4.2.0", false, 4, 2, -99},
        {"4.6", false, 4, 6, -99},
        {"7", true, 7, 0, 0},
        {"", true, 0, 0, 0},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.text);
        int major = -5, minor = -5, release = -99;
        if (c.glsl) {
            seam::strings[GL_SHADING_LANGUAGE_VERSION] = c.text;
            context->get_version_glsl(&major, &minor, &release);
        } else {
            seam::strings[GL_VERSION] = c.text;
            context->get_version_gl(&major, &minor);
        }
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(release, c.release);
    }
}

TEST_F(Queries, NullVersionPointersReceiveNothing) {
    seam::strings[GL_VERSION] = "4.6";
    int minor = -5;
    context->get_version_gl(nullptr, &minor);
    EXPECT_EQ(minor, -5);
}

TEST_F(Queries, NonVersionTextParsesWithoutFault) {
    const std::string long_text(5000, '9');
    seam::strings[GL_SHADING_LANGUAGE_VERSION] = long_text.c_str();
    int major = 0, minor = 0, release = 0;
    context->get_version_glsl(&major, &minor, &release);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(release, 0);
    seam::strings[GL_SHADING_LANGUAGE_VERSION] = "9999999999.99999999999.9999999999999 x";
    context->get_version_glsl(&major, &minor, &release);  // wraps instead of overflowing a signed int
}

struct ExtensionCase {
    const char* list;
    const char* name;
    bool found;
};

TEST_F(Queries, ExtensionsMatchOnlyWholeNames) {
    const ExtensionCase cases[] = {
        {"GL_AB GL_A", "GL_A", true},      {"XGL_A", "GL_A", false},
        {"GL_A GL_B", "GL_A", true},       {"GL_A GL_B", "GL_B", true},
        {"GL_A GL_B", "GL_", false},       {"GL_AGL_A", "GL_A", false},
        {"GL_AB GL_AGL_A", "GL_A", false}, {"GL_AGL_A GL_A", "GL_A", true},
        {"GL_A ", "GL_A", true},           {"", "GL_A", false},
    };
    for (const ExtensionCase& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " / " + c.name);
        seam::strings[GL_EXTENSIONS] = c.list;
        EXPECT_EQ(context->supports_extension(c.name), c.found);
    }
}

TEST_F(Queries, EmptyNamesAndNamesWithSpacesAskNothing) {
    seam::calls = 0;
    EXPECT_FALSE(context->supports_extension(""));
    EXPECT_FALSE(context->supports_extension("GL_A GL_B"));
    EXPECT_FALSE(context->supports_extension(nullptr));
    EXPECT_EQ(seam::calls, 0);
    seam::strings[GL_EXTENSIONS] = "GL_A";
    EXPECT_TRUE(context->supports_extension("GL_A"));
    EXPECT_TRUE(context->supports_extension("GL_A"));
    EXPECT_EQ(seam::calls, 2);  // nothing is cached
}

TEST_F(Queries, WithoutACurrentContextEverythingIsUnknown) {
    context->set_target(nullptr);
    EXPECT_STREQ(context->get_vendor(), "Quarn::Unknown");
    EXPECT_STREQ(context->get_renderer(), "Quarn::Unknown");
    EXPECT_STREQ(context->get_version_gl(), "Quarn::Unknown");
    EXPECT_STREQ(context->get_version_glsl(), "Quarn::Unknown");
    EXPECT_STREQ(context->get_extensions(), "Quarn::Unknown");
    EXPECT_FALSE(context->supports_extension("GL_ARB_vertex_buffer_object"));
    EXPECT_FALSE(context->supports_extension("Quarn::Unknown"));
    int major = -1, minor = -1, release = -1;
    context->get_version_glsl(&major, &minor, &release);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(release, 0);
}

}  // namespace
