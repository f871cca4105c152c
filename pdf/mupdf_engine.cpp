// The PDF engine: MuPDF behind the Document / PageSink interface.
//
// MuPDF reports errors with setjmp/longjmp. Every fz_try below sits in a
// small function whose locals are plain data, and the device callbacks that
// MuPDF calls hand over to member functions that catch every C++ exception
// and return a flag; only then, with no C++ object alive in the callback,
// may the callback throw a MuPDF error.
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>

#include "color_management.h"
#include "page_source.h"
#include "text_line.h"

namespace pclxl::pdf {

namespace {

// ---------------------------------------------------------------------
// A heap with a ceiling, so that a document cannot take the machine's
// memory: MuPDF sees a failed allocation and throws.

struct Heap {
    size_t limit;
    size_t used;
};

constexpr size_t kHeader = 16; // keeps the caller's memory 16-byte aligned

void *heap_malloc(void *user, size_t n) {
    Heap *h = static_cast<Heap *>(user);
    if (n > h->limit - h->used || n > SIZE_MAX - kHeader)
        return nullptr;
    unsigned char *p = static_cast<unsigned char *>(std::malloc(n + kHeader));
    if (!p)
        return nullptr;
    std::memcpy(p, &n, sizeof n);
    h->used += n;
    return p + kHeader;
}

void heap_free(void *user, void *ptr) {
    if (!ptr)
        return;
    Heap *h = static_cast<Heap *>(user);
    unsigned char *p = static_cast<unsigned char *>(ptr) - kHeader;
    size_t n;
    std::memcpy(&n, p, sizeof n);
    h->used -= n;
    std::free(p);
}

void *heap_realloc(void *user, void *ptr, size_t n) {
    if (!ptr)
        return heap_malloc(user, n);
    if (n == 0) {
        heap_free(user, ptr);
        return nullptr;
    }
    Heap *h = static_cast<Heap *>(user);
    unsigned char *p = static_cast<unsigned char *>(ptr) - kHeader;
    size_t old;
    std::memcpy(&old, p, sizeof old);
    if (n > old && (n - old > h->limit - h->used || n > SIZE_MAX - kHeader))
        return nullptr;
    unsigned char *q = static_cast<unsigned char *>(std::realloc(p, n + kHeader));
    if (!q)
        return nullptr;
    std::memcpy(q, &n, sizeof n);
    h->used = h->used - old + n;
    return q + kHeader;
}

// ---------------------------------------------------------------------
// Small guarded calls into MuPDF (plain locals only).

fz_context *new_context(fz_alloc_context *alloc, Heap *heap) {
    alloc->user = heap;
    alloc->malloc = heap_malloc;
    alloc->realloc = heap_realloc;
    alloc->free = heap_free;
    fz_context *ctx = fz_new_context(alloc, nullptr, 64 << 20);
    if (!ctx)
        return nullptr;
    fz_try(ctx) { fz_register_document_handlers(ctx); }
    fz_catch(ctx) {
        fz_drop_context(ctx);
        return nullptr;
    }
    return ctx;
}

// The engine's messages quote the document (names, strings): each is made
// one line here, before anyone prints it.
void copy_message(fz_context *ctx, char *msg, size_t n) {
    std::snprintf(msg, n, "%s", fz_caught_message(ctx));
    pclxl_host::clean_text(msg);
}

fz_document *open_pdf(fz_context *ctx, const unsigned char *data, size_t size, char *msg,
                      size_t n) {
    fz_stream *stm = nullptr;
    fz_document *doc = nullptr;
    fz_var(stm);
    fz_var(doc);
    fz_try(ctx) {
        stm = fz_open_memory(ctx, data, size);
        doc = fz_open_document_with_stream(ctx, "application/pdf", stm);
        if (fz_needs_password(ctx, doc))
            fz_throw(ctx, FZ_ERROR_GENERIC, "the document needs a password");
    }
    fz_always(ctx) { fz_drop_stream(ctx, stm); }
    fz_catch(ctx) {
        copy_message(ctx, msg, n);
        fz_drop_document(ctx, doc);
        return nullptr;
    }
    return doc;
}

int count_pages(fz_context *ctx, fz_document *doc, char *msg, size_t n) {
    int count = -1;
    fz_var(count);
    fz_try(ctx) { count = fz_count_pages(ctx, doc); }
    fz_catch(ctx) {
        copy_message(ctx, msg, n);
        return -1;
    }
    return count;
}

// Forms drawn inside forms deeper than this are left out: the engine's
// own nesting of errors runs out a little beyond it.
constexpr int kMaxFormDepth = 48;

// What prune() left out, and the objects it has looked at.
struct Pruned {
    std::vector<std::pair<std::string, std::string>> left_out; // what, why
    std::vector<int> seen;
};

// Notes one object prune() left out; nothing may be thrown through MuPDF.
void left_out(Pruned &out, const char *what, const char *why) noexcept {
    try {
        out.left_out.emplace_back(what, why);
    } catch (...) {
    }
}

// Walks the image and form resources of `resources` (a page's or a form's)
// and takes out of them the images the engine cannot load and the forms
// nested deeper than kMaxFormDepth, so that the content that names them
// goes on past them. Only for a page whose content stopped on an error.
void prune(fz_context *ctx, pdf_document *doc, pdf_obj *resources, int depth, Pruned &out) {
    pdf_obj *xobjects = pdf_dict_get(ctx, resources, PDF_NAME(XObject));
    if (!pdf_is_dict(ctx, xobjects))
        return;
    if (const int num = pdf_to_num(ctx, xobjects)) {
        if (std::find(out.seen.begin(), out.seen.end(), num) != out.seen.end())
            return;
        try {
            out.seen.push_back(num);
        } catch (...) {
            return;
        }
    }
    for (int i = pdf_dict_len(ctx, xobjects) - 1; i >= 0; --i) {
        pdf_obj *key = pdf_dict_get_key(ctx, xobjects, i);
        pdf_obj *xobject = pdf_dict_get_val(ctx, xobjects, i);
        pdf_obj *subtype = pdf_dict_get(ctx, xobject, PDF_NAME(Subtype));
        if (pdf_name_eq(ctx, subtype, PDF_NAME(Image))) {
            fz_image *image = nullptr;
            fz_var(image);
            fz_try(ctx) { image = pdf_load_image(ctx, doc, xobject); }
            fz_catch(ctx) {
                if (fz_caught(ctx) == FZ_ERROR_MEMORY)
                    fz_rethrow(ctx);
                left_out(out, "an image", fz_caught_message(ctx));
                pdf_dict_del(ctx, xobjects, key);
            }
            fz_drop_image(ctx, image);
        } else if (pdf_name_eq(ctx, subtype, PDF_NAME(Form))) {
            if (depth >= kMaxFormDepth) {
                left_out(out, "forms nested too deep", "");
                pdf_dict_del(ctx, xobjects, key);
            } else {
                prune(ctx, doc, pdf_dict_get(ctx, xobject, PDF_NAME(Resources)), depth + 1, out);
            }
        }
    }
}

// Records a page's content into a new display list. The content is read
// with a cookie, so the engine skips what it can; when reading stops on an
// error, the list keeps what came before it, `msg` says why and `stopped`
// is set. Null only when not even that could be kept.
fz_display_list *record(fz_context *ctx, fz_page *page, fz_rect bounds, bool *stopped, char *msg,
                        size_t n) {
    fz_display_list *list = nullptr;
    fz_device *dev = nullptr;
    fz_cookie cookie = {};
    *stopped = false;
    fz_var(list);
    fz_var(dev);
    fz_try(ctx) {
        list = fz_new_display_list(ctx, bounds);
        dev = fz_new_list_device(ctx, list);
        // As printed: annotations and form fields with their Print flag
        // and not Hidden (NoView ones too), in their appearance streams as
        // they are, and optional content as set for printing.
        if (pdf_page *pdf = pdf_page_from_fz_page(ctx, page))
            pdf_run_page_with_usage(ctx, pdf, dev, fz_identity, "Print", &cookie);
        else
            fz_run_page(ctx, page, dev, fz_identity, &cookie);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx) { fz_drop_device(ctx, dev); }
    fz_catch(ctx) {
        copy_message(ctx, msg, n);
        if (!list || fz_caught(ctx) == FZ_ERROR_MEMORY) {
            fz_drop_display_list(ctx, list);
            return nullptr;
        }
        *stopped = true;
    }
    if (cookie.errors > 0)
        *stopped = true;
    return list;
}

// prune() on a page's resources; false when nothing was taken out.
bool prune_page(fz_context *ctx, fz_page *page, Pruned &out) {
    pdf_page *pdf = pdf_page_from_fz_page(ctx, page);
    if (!pdf)
        return false;
    fz_try(ctx) { prune(ctx, pdf->doc, pdf_page_resources(ctx, pdf), 0, out); }
    fz_catch(ctx) {}
    return !out.left_out.empty();
}

// Embedded ICC profiles: the engine reads none of its own and takes an
// ICCBased space for the device space of as many components. Each one a
// page's resources name (its colour spaces, its images' and those of its
// forms) goes into the engine's store as a space that converts through
// its own profile, under the objects by which the engine looks it up;
// `unreadable` is set when a profile cannot be used, and the device space
// (CMYK through the default profile) stands in for it.
void profile_eval(fz_context *, void *tint, const float *s, int, float *d, int) {
    static_cast<const ProfileTransform *>(tint)->rgb(s, d);
}

void profile_drop(fz_context *, void *tint) { delete static_cast<ProfileTransform *>(tint); }

void store_once(fz_context *ctx, pdf_obj *key, fz_colorspace *cs) {
    if (auto *held = static_cast<fz_colorspace *>(pdf_find_item(ctx, fz_drop_colorspace_imp, key)))
        fz_drop_colorspace(ctx, held);
    else
        pdf_store_item(ctx, key, cs, 1000);
}

void use_profile(fz_context *ctx, pdf_obj *key, bool &unreadable) {
    pdf_obj *space = pdf_resolve_indirect(ctx, key);
    if (!pdf_is_array(ctx, space) ||
        !pdf_name_eq(ctx, pdf_array_get(ctx, space, 0), PDF_NAME(ICCBased)))
        return;
    if (auto *known =
            static_cast<fz_colorspace *>(pdf_find_item(ctx, fz_drop_colorspace_imp, key))) {
        fz_drop_colorspace(ctx, known);
        return;
    }
    pdf_obj *profile = pdf_array_get(ctx, space, 1);
    const int n = pdf_dict_get_int(ctx, profile, PDF_NAME(N));
    if (n != 1 && n != 3 && n != 4)
        return;
    fz_buffer *bytes = nullptr;
    fz_colorspace *cs = nullptr;
    std::unique_ptr<ProfileTransform> transform;
    fz_var(bytes);
    fz_var(cs);
    fz_try(ctx) {
        bytes = pdf_load_stream(ctx, profile);
        unsigned char *data = nullptr;
        const size_t size = fz_buffer_storage(ctx, bytes, &data);
        try {
            transform = ProfileTransform::from(data, size, n);
        } catch (...) {
        }
        if (transform) {
            cs = fz_new_colorspace(ctx, FZ_COLORSPACE_SEPARATION, 0, n, "EmbeddedProfile");
            cs->u.separation.base = fz_keep_colorspace(ctx, fz_device_rgb(ctx));
            cs->u.separation.eval = profile_eval;
            cs->u.separation.drop = profile_drop;
            cs->u.separation.tint = transform.release();
            // The store keeps the first item under a key and hands back a
            // reference to it on a second store, which pdf_store_item drops
            // on the floor: store only under keys that hold nothing yet.
            store_once(ctx, key, cs);
            if (pdf_is_indirect(ctx, profile))
                store_once(ctx, profile, cs);
        }
    }
    fz_always(ctx) {
        fz_drop_buffer(ctx, bytes);
        fz_drop_colorspace(ctx, cs);
    }
    fz_catch(ctx) {
        if (fz_caught(ctx) == FZ_ERROR_MEMORY)
            fz_rethrow(ctx);
    }
    if (!transform && !cs)
        unreadable = true;
}

// Each form once, and at most kMaxVisits forms and resource dictionaries
// in all, however the document nests them.
void use_profiles(fz_context *ctx, pdf_obj *resources, int depth, std::vector<int> &seen,
                  bool &unreadable) {
    constexpr size_t kMaxVisits = 4096;
    auto first_visit = [&seen](pdf_obj *obj, fz_context *c) {
        if (seen.size() >= kMaxVisits)
            return false;
        const int num = pdf_to_num(c, obj);
        if (num && std::find(seen.begin(), seen.end(), num) != seen.end())
            return false;
        seen.push_back(num);
        return true;
    };
    if (depth > kMaxFormDepth || !pdf_is_dict(ctx, resources) || !first_visit(resources, ctx))
        return;
    pdf_obj *spaces = pdf_dict_get(ctx, resources, PDF_NAME(ColorSpace));
    for (int i = 0; i < pdf_dict_len(ctx, spaces); ++i)
        use_profile(ctx, pdf_dict_get_val(ctx, spaces, i), unreadable);
    pdf_obj *xobjects = pdf_dict_get(ctx, resources, PDF_NAME(XObject));
    for (int i = 0; i < pdf_dict_len(ctx, xobjects); ++i) {
        pdf_obj *xobject = pdf_dict_get_val(ctx, xobjects, i);
        if (pdf_name_eq(ctx, pdf_dict_get(ctx, xobject, PDF_NAME(Subtype)), PDF_NAME(Image)))
            use_profile(ctx, pdf_dict_get(ctx, xobject, PDF_NAME(ColorSpace)), unreadable);
        else if (first_visit(xobject, ctx))
            use_profiles(ctx, pdf_dict_get(ctx, xobject, PDF_NAME(Resources)), depth + 1, seen,
                         unreadable);
    }
}

void use_page_profiles(fz_context *ctx, fz_page *page, bool &unreadable) {
    pdf_page *pdf = pdf_page_from_fz_page(ctx, page);
    if (!pdf)
        return;
    fz_try(ctx) {
        std::vector<int> seen;
        try {
            use_profiles(ctx, pdf_page_resources(ctx, pdf), 0, seen, unreadable);
        } catch (...) {
        }
    }
    fz_catch(ctx) {}
}

// Loads page `index` into a display list and stores its bounds. When its
// content stops on an error, the images that cannot be loaded and forms
// nested too deep are taken out and the page is read again; `pruned` says
// what went, and `stopped` (with `msg`) whether the content still stops
// early.
fz_display_list *load_list(fz_context *ctx, fz_document *doc, int index, fz_rect *bounds,
                           Pruned &pruned, bool *stopped, char *msg, size_t n,
                           bool &unreadable_profile) {
    fz_page *page = nullptr;
    fz_var(page);
    *stopped = false;
    fz_try(ctx) {
        page = fz_load_page(ctx, doc, index);
        *bounds = fz_bound_page(ctx, page);
    }
    fz_catch(ctx) {
        fz_drop_page(ctx, page);
        copy_message(ctx, msg, n);
        return nullptr;
    }
    use_page_profiles(ctx, page, unreadable_profile);
    fz_display_list *list = record(ctx, page, *bounds, stopped, msg, n);
    if (list && *stopped && prune_page(ctx, page, pruned)) {
        fz_drop_display_list(ctx, list);
        *msg = 0;
        list = record(ctx, page, *bounds, stopped, msg, n);
    }
    fz_drop_page(ctx, page);
    return list;
}

bool run_list(fz_context *ctx, fz_display_list *list, fz_device *dev, fz_matrix ctm, fz_rect area,
              char *msg, size_t n) {
    bool ok = true;
    fz_try(ctx) {
        fz_run_display_list(ctx, list, dev, ctm, area, nullptr);
        fz_close_device(ctx, dev);
    }
    fz_catch(ctx) {
        copy_message(ctx, msg, n);
        ok = false;
    }
    return ok;
}

// CMYK managed in rendered pixels too: a colour space that MuPDF's draw
// device takes for DeviceCMYK (the default it substitutes), turning CMYK
// into RGB through the profile.
void managed_cmyk_eval(fz_context *, void *, const float *s, int, float *d, int) {
    ColorTransforms::get().cmyk(s, d);
}

void managed_cmyk_drop(fz_context *, void *) {}

fz_colorspace *new_managed_cmyk(fz_context *ctx) {
    if (!ColorTransforms::get().cmyk_managed())
        return nullptr;
    fz_colorspace *cs = nullptr;
    fz_var(cs);
    fz_try(ctx) {
        cs = fz_new_colorspace(ctx, FZ_COLORSPACE_SEPARATION, 0, 4, "ManagedCMYK");
        cs->u.separation.base = fz_keep_colorspace(ctx, fz_device_rgb(ctx));
        cs->u.separation.eval = managed_cmyk_eval;
        cs->u.separation.drop = managed_cmyk_drop;
    }
    fz_catch(ctx) {
        fz_drop_colorspace(ctx, cs);
        return nullptr;
    }
    return cs;
}

// The draw device's own setter, and the colour space to put in for
// DeviceCMYK, while this thread renders.
thread_local void (*t_set_defaults)(fz_context *, fz_device *, fz_default_colorspaces *);
thread_local fz_colorspace *t_managed_cmyk;

// MuPDF takes only a plain CMYK space as the default CMYK, so the field is
// set directly: the layout of MuPDF's defaults, checked against its own
// readers before anything is written.
struct DefaultsLayout {
    int refs;
    fz_colorspace *gray, *rgb, *cmyk, *oi;
};

void put_cmyk_default(fz_context *ctx, fz_default_colorspaces *defaults, fz_colorspace *cs) {
    auto *l = reinterpret_cast<DefaultsLayout *>(defaults);
    if (l->gray != fz_default_gray(ctx, defaults) || l->rgb != fz_default_rgb(ctx, defaults) ||
        l->cmyk != fz_default_cmyk(ctx, defaults) || l->cmyk != fz_device_cmyk(ctx))
        return;
    fz_drop_colorspace(ctx, l->cmyk);
    l->cmyk = fz_keep_colorspace(ctx, cs);
}

void set_managed_defaults(fz_context *ctx, fz_device *dev, fz_default_colorspaces *given) {
    fz_default_colorspaces *mine =
        given ? fz_clone_default_colorspaces(ctx, given) : fz_new_default_colorspaces(ctx);
    fz_try(ctx) {
        put_cmyk_default(ctx, mine, t_managed_cmyk);
        t_set_defaults(ctx, dev, mine);
    }
    fz_always(ctx) { fz_drop_default_colorspaces(ctx, mine); }
    fz_catch(ctx) { fz_rethrow(ctx); }
}

// Renders `list` inside `box` (already scaled) to a white RGB pixmap;
// DeviceCMYK through `cmyk` when there is one.
fz_pixmap *render_list(fz_context *ctx, fz_display_list *list, fz_matrix ctm, fz_irect box,
                       fz_colorspace *cmyk) {
    fz_pixmap *pix = nullptr;
    fz_device *dev = nullptr;
    fz_var(pix);
    fz_var(dev);
    fz_try(ctx) {
        pix = fz_new_pixmap_with_bbox(ctx, fz_device_rgb(ctx), box, nullptr, 0);
        fz_clear_pixmap_with_value(ctx, pix, 255);
        dev = fz_new_draw_device(ctx, fz_identity, pix);
        if (cmyk && dev->set_default_colorspaces) {
            t_set_defaults = dev->set_default_colorspaces;
            t_managed_cmyk = cmyk;
            dev->set_default_colorspaces = set_managed_defaults;
            set_managed_defaults(ctx, dev, nullptr);
        }
        fz_run_display_list(ctx, list, dev, ctm, fz_rect_from_irect(box), nullptr);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx) { fz_drop_device(ctx, dev); }
    fz_catch(ctx) {
        fz_drop_pixmap(ctx, pix);
        return nullptr;
    }
    return pix;
}

bool convert_color(fz_context *ctx, fz_colorspace *from, const float *in, fz_colorspace *to,
                   float *out, fz_color_params params) {
    fz_try(ctx) { fz_convert_color(ctx, from, in, to, out, nullptr, params); }
    fz_catch(ctx) { return false; }
    return true;
}

// A colour as RGB 0..1: Indexed, Separation and DeviceN colours through
// their base spaces first, then CMYK and Lab colour-managed, the rest as
// MuPDF converts them.
bool to_rgb(fz_context *ctx, fz_colorspace *cs, const float *color, fz_color_params params,
            float out[3]) {
    out[0] = out[1] = out[2] = 0;
    if (!cs || !color)
        return true;
    const ColorTransforms &cm = ColorTransforms::get();
    float v[FZ_MAX_COLORS], base_v[FZ_MAX_COLORS];
    std::copy(color, color + std::min(fz_colorspace_n(ctx, cs), int(FZ_MAX_COLORS)), v);
    for (int depth = 0; depth < 4; ++depth) {
        fz_colorspace *base = fz_colorspace_is_indexed(ctx, cs)    ? cs->u.indexed.base
                              : fz_colorspace_is_device_n(ctx, cs) ? cs->u.separation.base
                                                                   : nullptr;
        if (!base)
            break;
        if (!convert_color(ctx, cs, v, base, base_v, params))
            return false;
        std::copy(base_v, base_v + std::min(fz_colorspace_n(ctx, base), int(FZ_MAX_COLORS)), v);
        cs = base;
    }
    if (fz_colorspace_is_cmyk(ctx, cs) && cm.cmyk_managed()) {
        cm.cmyk(v, out);
        return true;
    }
    if (fz_colorspace_is_lab(ctx, cs)) {
        cm.lab(v, out);
        return true;
    }
    return convert_color(ctx, cs, v, fz_device_rgb(ctx), out, params);
}

fz_rect bound_path(fz_context *ctx, const fz_path *path, const fz_stroke_state *stroke,
                   fz_matrix ctm) {
    fz_rect r = fz_empty_rect;
    fz_try(ctx) { r = fz_bound_path(ctx, path, stroke, ctm); }
    fz_catch(ctx) { r = fz_infinite_rect; }
    return r;
}

fz_rect bound_text(fz_context *ctx, const fz_text *text, const fz_stroke_state *stroke,
                   fz_matrix ctm) {
    fz_rect r = fz_empty_rect;
    fz_try(ctx) { r = fz_bound_text(ctx, text, stroke, ctm); }
    fz_catch(ctx) { r = fz_infinite_rect; }
    return r;
}

fz_rect bound_shade(fz_context *ctx, fz_shade *shade, fz_matrix ctm) {
    fz_rect r = fz_empty_rect;
    fz_try(ctx) { r = fz_bound_shade(ctx, shade, ctm); }
    fz_catch(ctx) { r = fz_infinite_rect; }
    return r;
}

// A glyph's coverage, 8 bits a pixel. Rendered from the unhinted outline:
// two-level rendering would hint TrueType glyphs, running the font's
// programs again for every size, which costs most of a page of text at many
// sizes; at printer resolutions hinting changes next to nothing.
// Plays a Type3 glyph's own content into `dev`; false when it fails.
bool run_t3_glyph(fz_context *ctx, fz_font *font, int gid, fz_matrix trm, fz_device *dev) {
    fz_try(ctx) { fz_run_t3_glyph(ctx, font, gid, trm, dev); }
    fz_catch(ctx) { return false; }
    return true;
}

// A glyph's box on the device; infinite when it cannot be measured.
fz_rect bound_glyph(fz_context *ctx, fz_font *font, int gid, fz_matrix m) {
    fz_rect r = fz_empty_rect;
    fz_try(ctx) { r = fz_bound_glyph(ctx, font, gid, m); }
    fz_catch(ctx) { r = fz_infinite_rect; }
    return r;
}

fz_pixmap *glyph_pixmap(fz_context *ctx, fz_font *font, int gid, fz_matrix m) {
    fz_pixmap *pix = nullptr;
    fz_irect scissor = {-1000000, -1000000, 1000000, 1000000};
    fz_var(pix);
    fz_try(ctx) { pix = fz_render_glyph_pixmap(ctx, font, gid, &m, &scissor, 8); }
    fz_catch(ctx) { return nullptr; }
    return pix;
}

fz_path *glyph_outline(fz_context *ctx, fz_font *font, int gid, fz_matrix m) {
    fz_path *path = nullptr;
    fz_var(path);
    fz_try(ctx) { path = fz_outline_glyph(ctx, font, gid, m); }
    fz_catch(ctx) { return nullptr; }
    return path;
}

// The image's pixels as RGB (or the mask's alpha for image masks), at the
// size MuPDF needs for `ctm` (it may decode at a fraction of full size).
fz_pixmap *image_pixmap(fz_context *ctx, fz_image *image, fz_matrix ctm, bool mask, char *msg,
                        size_t n) {
    fz_pixmap *pix = nullptr, *rgb = nullptr;
    fz_var(pix);
    fz_var(rgb);
    fz_try(ctx) {
        int w = 0, h = 0;
        pix = fz_get_pixmap_from_image(ctx, image, nullptr, &ctm, &w, &h);
        if (!mask && pix->colorspace && fz_colorspace_is_device_n(ctx, pix->colorspace)) {
            // Separation and DeviceN samples to their base space first.
            fz_colorspace *base = pix->colorspace->u.separation.base;
            if (base && !fz_colorspace_is_device_n(ctx, base)) {
                fz_pixmap *based =
                    fz_convert_pixmap(ctx, pix, base, nullptr, nullptr, fz_default_color_params, 1);
                fz_drop_pixmap(ctx, pix);
                pix = based;
            }
        }
        if (mask || !pix->colorspace || pix->colorspace == fz_device_rgb(ctx)) {
            rgb = fz_keep_pixmap(ctx, pix);
        } else if (fz_colorspace_is_cmyk(ctx, pix->colorspace) &&
                   ColorTransforms::get().cmyk_managed() && pix->n == 4 + pix->alpha) {
            rgb = fz_new_pixmap(ctx, fz_device_rgb(ctx), pix->w, pix->h, nullptr, pix->alpha);
            rgb->x = pix->x;
            rgb->y = pix->y;
            for (int y = 0; y < pix->h; ++y)
                ColorTransforms::get().cmyk_pixels(pix->samples + size_t(y) * pix->stride,
                                                   rgb->samples + size_t(y) * rgb->stride,
                                                   size_t(pix->w), pix->alpha != 0);
        } else {
            rgb = fz_convert_pixmap(ctx, pix, fz_device_rgb(ctx), nullptr, nullptr,
                                    fz_default_color_params, 0);
        }
    }
    fz_always(ctx) { fz_drop_pixmap(ctx, pix); }
    fz_catch(ctx) {
        copy_message(ctx, msg, n);
        return nullptr;
    }
    return rgb;
}

fz_compressed_buffer *compressed(fz_context *ctx, fz_image *image) {
    fz_compressed_buffer *buf = nullptr;
    fz_var(buf);
    fz_try(ctx) { buf = fz_compressed_image_buffer(ctx, image); }
    fz_catch(ctx) { return nullptr; }
    return buf;
}

// ---------------------------------------------------------------------

Rect to_rect(fz_rect r) { return {r.x0, r.y0, r.x1, r.y1}; }

Rect intersect(const Rect &a, const Rect &b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

fz_matrix to_fz(const Matrix &m) {
    return {float(m.a), float(m.b), float(m.c), float(m.d), float(m.e), float(m.f)};
}

Rgb rgb_of(const float c[3]) {
    auto byte = [](float v) {
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    return {byte(c[0]), byte(c[1]), byte(c[2])};
}

// Baseline or extended sequential JPEG (SOF0/SOF1) in gray or YCbCr, which
// printers decode: not progressive, not CMYK, and not RGB stored without
// the colour transform (an Adobe marker saying so).
bool sequential_jpeg(const unsigned char *p, size_t n, int &width, int &height, int &components) {
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    int adobe_transform = -1;
    size_t i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF)
            return false;
        const unsigned char marker = p[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        const size_t len = size_t(p[i + 2]) << 8 | p[i + 3];
        if (len < 2)
            return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if ((marker != 0xC0 && marker != 0xC1) || i + 10 > n)
                return false;
            height = p[i + 5] << 8 | p[i + 6];
            width = p[i + 7] << 8 | p[i + 8];
            components = p[i + 9];
            if (components == 3 && adobe_transform == 0)
                return false;
            return width > 0 && height > 0 && (components == 1 || components == 3);
        }
        if (marker == 0xEE && len >= 12 && i + 2 + len <= n && !std::memcmp(p + i + 4, "Adobe", 5))
            adobe_transform = p[i + 2 + 11];
        i += 2 + len;
    }
    return false;
}

class MupdfDocument;

// Where the engine's warnings go; the last one is kept as the reason for
// what the engine skipped without an error of its own.
struct WarnSink {
    void (*forward)(const char *, void *) = nullptr;
    void *user = nullptr;
    char last[256] = "";
};

struct Device {
    fz_device super;
    MupdfDocument *doc;
};

MupdfDocument *of(fz_device *dev) { return reinterpret_cast<Device *>(dev)->doc; }

class MupdfDocument final : public Document {
  public:
    MupdfDocument(size_t memory, void (*warn)(const char *, void *), void *user)
        : heap_{memory, 0}, warn_(warn), warn_user_(user) {}
    ~MupdfDocument() override;

    bool open(const unsigned char *data, size_t size, std::string &error);

    int page_count() override { return pages_; }
    bool page_size(int index, double &width, double &height, std::string &error) override;
    bool run_page(int index, const Matrix &ctm, const Rect &device_area, PageSink &sink,
                  std::string &error) override;
    bool render_page(int index, const Matrix &ctm, const Rect &device_area, double scale,
                     Pixels &out, std::string &error) override;
    bool render_region(const Rect &area, double scale, Pixels &out) override;
    bool glyph_bitmap(int font, int glyph, const double m[4], GlyphBitmap &out) override;
    bool decode(Image &image) override;

    // Device callbacks; false when the page must stop (failure_ says why).
    bool fill_path(const fz_path *path, int even_odd, fz_matrix ctm, fz_colorspace *cs,
                   const float *color, float alpha, fz_color_params params) noexcept;
    bool stroke_path(const fz_path *path, const fz_stroke_state *stroke, fz_matrix ctm,
                     fz_colorspace *cs, const float *color, float alpha,
                     fz_color_params params) noexcept;
    bool clip_path(const fz_path *path, int even_odd, fz_matrix ctm) noexcept;
    bool clip_other(fz_rect bounds) noexcept; // clips drawn as a fallback region
    bool pop_clip() noexcept;
    bool fill_text(const fz_text *text, fz_matrix ctm, fz_colorspace *cs, const float *color,
                   float alpha, fz_color_params params) noexcept;
    bool fallback_item(fz_rect bounds) noexcept;
    // A span's glyphs filled as one path of their outlines (large text);
    // false when a glyph has no outline.
    bool fill_outlines(const fz_text_span *span, fz_matrix ctm, Rgb color);
    // A span of a Type3 font played glyph by glyph from the glyphs' own
    // content (paths stay paths); false when the font is not Type3 or a
    // glyph fails.
    bool fill_type3(const fz_text_span *span, fz_matrix ctm, Rgb color);
    // A colour as painted: a Type3 glyph without colours of its own takes
    // its text's.
    Rgb colour(const float c[3]) const { return glyph_colour_ ? *glyph_colour_ : rgb_of(c); }
    bool fill_image(fz_image *image, fz_matrix ctm, float alpha) noexcept;
    bool fill_image_mask(fz_image *image, fz_matrix ctm, fz_colorspace *cs, const float *color,
                         float alpha, fz_color_params params) noexcept;
    bool begin_group(fz_rect area, int knockout, int blendmode, float alpha) noexcept;
    // A scope drawn as a fallback region: a group, a mask and what it
    // masks, a tiling pattern, or a clip the printer cannot take. The
    // region is the part of `area` that the scope's content touches (the
    // whole area for tiling patterns, whose cell plays once), sent when the
    // scope ends.
    bool begin_suppressed(fz_rect area, bool tight = true) noexcept;
    bool end_suppressed() noexcept;
    bool note(fz_rect bounds) noexcept; // content inside a scope
    bool suppressed() const { return suppress_ > 0; }
    const char *failure() const { return failure_.c_str(); }
    std::vector<std::string> take_notes() override { return std::move(notes_); }
    bool repaired() override;
    fz_context *ctx() { return ctx_; }

  private:
    bool convert_path(const fz_path *path, fz_matrix ctm, Path &out);
    Rect clip_bounds() const { return clips_.empty() ? area_ : clips_.back(); }
    bool fail(const char *what) noexcept;
    // An object left out of the page: `what` names it, `why` is the
    // engine's reason (may be empty). Drawing goes on.
    bool skip(const std::string &what, const char *why) noexcept;
    void note(const std::string &what, const char *why);
    int font_id(fz_font *font);

    Heap heap_;
    fz_alloc_context alloc_{};
    void (*warn_)(const char *, void *);
    void *warn_user_;
    WarnSink warn_sink_;
    fz_context *ctx_ = nullptr;
    fz_document *doc_ = nullptr;
    int pages_ = 0;
    fz_colorspace *managed_cmyk_ = nullptr; // DeviceCMYK in rendered pixels
    bool profile_warned_ = false;           // an unreadable profile was reported

    // While a page plays.
    fz_display_list *list_ = nullptr;
    int list_index_ = -1;
    PageSink *sink_ = nullptr;
    Matrix ctm_;
    Rect area_;
    std::vector<Rect> clips_; // device bounds of each open clip
    int suppress_ = 0;        // open scopes inside a fallback region
    Rect scope_area_, scope_content_;
    bool scope_tight_ = true, scope_drawn_ = false;
    std::string failure_;
    std::vector<std::string> notes_; // objects left out of the current page
    fz_device *dev_ = nullptr;       // the device the page plays into
    const Rgb *glyph_colour_ = nullptr;
    int type3_depth_ = 0;
    std::string decode_error_; // why decode() failed

    std::vector<fz_font *> fonts_; // kept for the document's life: ids stay unique
    std::unordered_map<fz_font *, int> font_ids_;
};

// ---------------------------------------------------------------------
// Device callbacks: plain functions with no C++ objects, so that the MuPDF
// error they may throw skips nothing.

#define PCLXL_DEVICE_CALL(dev, call)                                                               \
    do {                                                                                           \
        MupdfDocument *d_ = of(dev);                                                               \
        if (!d_->call)                                                                             \
            fz_throw(ctx, FZ_ERROR_ABORT, "%s", d_->failure());                                    \
    } while (0)

void dev_fill_path(fz_context *ctx, fz_device *dev, const fz_path *path, int even_odd,
                   fz_matrix ctm, fz_colorspace *cs, const float *color, float alpha,
                   fz_color_params params) {
    PCLXL_DEVICE_CALL(dev, fill_path(path, even_odd, ctm, cs, color, alpha, params));
}

void dev_stroke_path(fz_context *ctx, fz_device *dev, const fz_path *path,
                     const fz_stroke_state *stroke, fz_matrix ctm, fz_colorspace *cs,
                     const float *color, float alpha, fz_color_params params) {
    PCLXL_DEVICE_CALL(dev, stroke_path(path, stroke, ctm, cs, color, alpha, params));
}

void dev_clip_path(fz_context *ctx, fz_device *dev, const fz_path *path, int even_odd,
                   fz_matrix ctm, fz_rect) {
    PCLXL_DEVICE_CALL(dev, clip_path(path, even_odd, ctm));
}

void dev_clip_stroke_path(fz_context *ctx, fz_device *dev, const fz_path *path,
                          const fz_stroke_state *stroke, fz_matrix ctm, fz_rect) {
    PCLXL_DEVICE_CALL(dev, clip_other(bound_path(ctx, path, stroke, ctm)));
}

void dev_fill_text(fz_context *ctx, fz_device *dev, const fz_text *text, fz_matrix ctm,
                   fz_colorspace *cs, const float *color, float alpha, fz_color_params params) {
    PCLXL_DEVICE_CALL(dev, fill_text(text, ctm, cs, color, alpha, params));
}

void dev_stroke_text(fz_context *ctx, fz_device *dev, const fz_text *text,
                     const fz_stroke_state *stroke, fz_matrix ctm, fz_colorspace *, const float *,
                     float, fz_color_params) {
    PCLXL_DEVICE_CALL(dev, fallback_item(bound_text(ctx, text, stroke, ctm)));
}

void dev_clip_text(fz_context *ctx, fz_device *dev, const fz_text *text, fz_matrix ctm, fz_rect) {
    PCLXL_DEVICE_CALL(dev, clip_other(bound_text(ctx, text, nullptr, ctm)));
}

void dev_clip_stroke_text(fz_context *ctx, fz_device *dev, const fz_text *text,
                          const fz_stroke_state *stroke, fz_matrix ctm, fz_rect) {
    PCLXL_DEVICE_CALL(dev, clip_other(bound_text(ctx, text, stroke, ctm)));
}

void dev_fill_shade(fz_context *ctx, fz_device *dev, fz_shade *shade, fz_matrix ctm, float,
                    fz_color_params) {
    PCLXL_DEVICE_CALL(dev, fallback_item(bound_shade(ctx, shade, ctm)));
}

void dev_fill_image(fz_context *ctx, fz_device *dev, fz_image *image, fz_matrix ctm, float alpha,
                    fz_color_params) {
    PCLXL_DEVICE_CALL(dev, fill_image(image, ctm, alpha));
}

void dev_fill_image_mask(fz_context *ctx, fz_device *dev, fz_image *image, fz_matrix ctm,
                         fz_colorspace *cs, const float *color, float alpha,
                         fz_color_params params) {
    PCLXL_DEVICE_CALL(dev, fill_image_mask(image, ctm, cs, color, alpha, params));
}

void dev_clip_image_mask(fz_context *ctx, fz_device *dev, fz_image *, fz_matrix ctm, fz_rect) {
    PCLXL_DEVICE_CALL(dev, clip_other(fz_transform_rect(fz_unit_rect, ctm)));
}

void dev_pop_clip(fz_context *ctx, fz_device *dev) { PCLXL_DEVICE_CALL(dev, pop_clip()); }

void dev_begin_mask(fz_context *ctx, fz_device *dev, fz_rect area, int, fz_colorspace *,
                    const float *, fz_color_params) {
    // The mask and what it masks, up to the pop_clip that ends it.
    PCLXL_DEVICE_CALL(dev, begin_suppressed(area));
}

void dev_end_mask(fz_context *, fz_device *) {}

void dev_begin_group(fz_context *ctx, fz_device *dev, fz_rect area, fz_colorspace *, int,
                     int knockout, int blendmode, float alpha) {
    PCLXL_DEVICE_CALL(dev, begin_group(area, knockout, blendmode, alpha));
}

void dev_end_group(fz_context *ctx, fz_device *dev) { PCLXL_DEVICE_CALL(dev, end_suppressed()); }

int dev_begin_tile(fz_context *ctx, fz_device *dev, fz_rect, fz_rect, float, float, fz_matrix,
                   int) {
    // A tiling pattern fills the clip that the painting operator set.
    PCLXL_DEVICE_CALL(dev, begin_suppressed(fz_infinite_rect, false));
    return 0;
}

void dev_end_tile(fz_context *ctx, fz_device *dev) { PCLXL_DEVICE_CALL(dev, end_suppressed()); }

#undef PCLXL_DEVICE_CALL

fz_device *new_device(fz_context *ctx, MupdfDocument *doc) {
    Device *d = nullptr;
    fz_var(d);
    fz_try(ctx) { d = fz_new_derived_device(ctx, Device); }
    fz_catch(ctx) { return nullptr; }
    d->doc = doc;
    return &d->super;
}

// ---------------------------------------------------------------------

struct PathBuilder {
    Path *out;
    fz_matrix ctm;
    bool failed;
};

void add_segment(PathBuilder *b, PathSegment::Kind kind, std::initializer_list<float> xy) {
    try {
        PathSegment s{};
        s.kind = kind;
        size_t i = 0;
        for (auto it = xy.begin(); it != xy.end(); it += 2, ++i) {
            const fz_point p = fz_transform_point_xy(it[0], it[1], b->ctm);
            s.p[i] = {p.x, p.y};
        }
        b->out->segments.push_back(s);
    } catch (...) {
        b->failed = true;
    }
}

void walk_move(fz_context *, void *arg, float x, float y) {
    add_segment(static_cast<PathBuilder *>(arg), PathSegment::Move, {x, y});
}
void walk_line(fz_context *, void *arg, float x, float y) {
    add_segment(static_cast<PathBuilder *>(arg), PathSegment::Line, {x, y});
}
void walk_curve(fz_context *, void *arg, float x1, float y1, float x2, float y2, float x3,
                float y3) {
    add_segment(static_cast<PathBuilder *>(arg), PathSegment::Curve, {x1, y1, x2, y2, x3, y3});
}
void walk_close(fz_context *, void *arg) {
    add_segment(static_cast<PathBuilder *>(arg), PathSegment::Close, {});
}

bool walk(fz_context *ctx, const fz_path *path, PathBuilder *b) {
    static const fz_path_walker walker = {walk_move, walk_line, walk_curve, walk_close,
                                          nullptr,   nullptr,   nullptr,    nullptr};
    fz_try(ctx) { fz_walk_path(ctx, path, &walker, b); }
    fz_catch(ctx) { return false; }
    return !b->failed;
}

void forward_warning(void *user, const char *message) {
    auto *sink = static_cast<WarnSink *>(user);
    std::snprintf(sink->last, sizeof sink->last, "%s", message);
    pclxl_host::clean_text(sink->last);
    if (sink->forward)
        sink->forward(sink->last, sink->user);
}

void ignore_warning(void *, const char *) {}

MupdfDocument::~MupdfDocument() {
    if (!ctx_)
        return;
    for (fz_font *f : fonts_)
        fz_drop_font(ctx_, f);
    fz_drop_display_list(ctx_, list_);
    fz_drop_document(ctx_, doc_);
    fz_drop_colorspace(ctx_, managed_cmyk_);
    // Warnings still pending would reach a host that may be gone.
    fz_set_warning_callback(ctx_, ignore_warning, nullptr);
    fz_set_error_callback(ctx_, ignore_warning, nullptr);
    fz_drop_context(ctx_);
}

bool MupdfDocument::open(const unsigned char *data, size_t size, std::string &error) {
    ctx_ = new_context(&alloc_, &heap_);
    if (!ctx_) {
        error = "the PDF engine could not start";
        return false;
    }
    managed_cmyk_ = new_managed_cmyk(ctx_);
    warn_sink_.forward = warn_;
    warn_sink_.user = warn_user_;
    fz_set_warning_callback(ctx_, forward_warning, &warn_sink_);
    fz_set_error_callback(ctx_, forward_warning, &warn_sink_);
    char msg[256] = "";
    doc_ = open_pdf(ctx_, data, size, msg, sizeof msg);
    if (!doc_) {
        error = std::string("cannot open the PDF: ") + msg;
        return false;
    }
    pages_ = count_pages(ctx_, doc_, msg, sizeof msg);
    if (pages_ < 0) {
        // The engine may say why only in a warning.
        const char *why = *msg ? msg : *warn_sink_.last ? warn_sink_.last : "it is damaged";
        error = std::string("cannot read the page tree: ") + why;
        return false;
    }
    return true;
}

bool MupdfDocument::repaired() {
    pdf_document *pdf = pdf_specifics(ctx_, doc_);
    return pdf && pdf_was_repaired(ctx_, pdf);
}

bool MupdfDocument::page_size(int index, double &width, double &height, std::string &error) {
    fz_drop_display_list(ctx_, list_);
    list_ = nullptr;
    char msg[256] = "";
    fz_rect bounds;
    Pruned pruned;
    bool stopped = false;
    notes_.clear();
    warn_sink_.last[0] = 0;
    bool unreadable_profile = false;
    list_ = load_list(ctx_, doc_, index, &bounds, pruned, &stopped, msg, sizeof msg,
                      unreadable_profile);
    if (unreadable_profile && !profile_warned_ && warn_) {
        profile_warned_ = true;
        warn_("an embedded colour profile cannot be read: the default one stands in", warn_user_);
    }
    list_index_ = index;
    if (!list_) {
        error = *msg ? msg : "the page could not be loaded";
        return false;
    }
    for (const auto &[what, why] : pruned.left_out)
        note(what + " left out", why.c_str());
    if (stopped && *msg)
        note("the rest of the page left out", msg);
    else if (stopped && pruned.left_out.empty())
        note("objects that could not be read left out", warn_sink_.last);
    width = bounds.x1 - bounds.x0;
    height = bounds.y1 - bounds.y0;
    return true;
}

bool MupdfDocument::run_page(int index, const Matrix &ctm, const Rect &device_area, PageSink &sink,
                             std::string &error) {
    if (!list_ || list_index_ != index) {
        double w, h;
        if (!page_size(index, w, h, error))
            return false;
    }
    sink_ = &sink;
    ctm_ = ctm;
    area_ = device_area;
    clips_.clear();
    suppress_ = 0;
    failure_.clear();

    char msg[256] = "";
    fz_device *dev = new_device(ctx_, this);
    if (!dev) {
        error = "out of memory";
        return false;
    }
    dev->fill_path = dev_fill_path;
    dev->stroke_path = dev_stroke_path;
    dev->clip_path = dev_clip_path;
    dev->clip_stroke_path = dev_clip_stroke_path;
    dev->fill_text = dev_fill_text;
    dev->stroke_text = dev_stroke_text;
    dev->clip_text = dev_clip_text;
    dev->clip_stroke_text = dev_clip_stroke_text;
    dev->fill_shade = dev_fill_shade;
    dev->fill_image = dev_fill_image;
    dev->fill_image_mask = dev_fill_image_mask;
    dev->clip_image_mask = dev_clip_image_mask;
    dev->pop_clip = dev_pop_clip;
    dev->begin_mask = dev_begin_mask;
    dev->end_mask = dev_end_mask;
    dev->begin_group = dev_begin_group;
    dev->end_group = dev_end_group;
    dev->begin_tile = dev_begin_tile;
    dev->end_tile = dev_end_tile;
    dev_ = dev;
    const fz_rect scissor = {float(device_area.x0), float(device_area.y0), float(device_area.x1),
                             float(device_area.y1)};
    // MuPDF stops a display list quietly on an abort: failure_ tells.
    const bool ok =
        run_list(ctx_, list_, dev, to_fz(ctm), scissor, msg, sizeof msg) && failure_.empty();
    fz_drop_device(ctx_, dev);
    dev_ = nullptr;
    // The list stays for the page's next run, until another page loads.
    sink_ = nullptr;
    if (!ok)
        error = failure_.empty() ? msg : failure_;
    return ok;
}

void MupdfDocument::note(const std::string &what, const char *why) {
    std::string line = what;
    if (why && *why)
        line += std::string(" (") + why + ")";
    for (const std::string &n : notes_)
        if (n == line)
            return;
    notes_.push_back(line);
}

bool MupdfDocument::skip(const std::string &what, const char *why) noexcept {
    try {
        note(what + " left out", why);
    } catch (...) {
    }
    return true;
}

bool MupdfDocument::fail(const char *what) noexcept {
    try {
        if (failure_.empty())
            failure_ = what;
    } catch (...) {
    }
    return false;
}

bool MupdfDocument::convert_path(const fz_path *path, fz_matrix ctm, Path &out) {
    PathBuilder b{&out, ctm, false};
    return walk(ctx_, path, &b);
}

bool MupdfDocument::fill_path(const fz_path *path, int even_odd, fz_matrix ctm, fz_colorspace *cs,
                              const float *color, float alpha, fz_color_params params) noexcept {
    if (suppressed())
        return note(bound_path(ctx_, path, nullptr, ctm));
    if (alpha < 1)
        return fallback_item(bound_path(ctx_, path, nullptr, ctm));
    try {
        Path p;
        float c[3];
        if (!convert_path(path, ctm, p) || !to_rgb(ctx_, cs, color, params, c))
            return skip("a path", "it could not be read");
        sink_->fill_path(p, even_odd != 0, colour(c));
        return true;
    } catch (const ObjectError &e) {
        return skip("a path", e.what());
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::stroke_path(const fz_path *path, const fz_stroke_state *stroke, fz_matrix ctm,
                                fz_colorspace *cs, const float *color, float alpha,
                                fz_color_params params) noexcept {
    if (suppressed())
        return note(bound_path(ctx_, path, stroke, ctm));
    if (alpha < 1)
        return fallback_item(bound_path(ctx_, path, stroke, ctm));
    try {
        Path p;
        float c[3];
        if (!convert_path(path, ctm, p) || !to_rgb(ctx_, cs, color, params, c))
            return skip("a line", "it could not be read");
        StrokeStyle s;
        const double scale = std::sqrt(std::fabs(double(ctm.a) * ctm.d - double(ctm.b) * ctm.c));
        s.width = stroke->linewidth * scale;
        switch (stroke->start_cap) {
        case FZ_LINECAP_ROUND: s.cap = Cap::Round; break;
        case FZ_LINECAP_SQUARE: s.cap = Cap::Square; break;
        case FZ_LINECAP_TRIANGLE: s.cap = Cap::Triangle; break;
        default: s.cap = Cap::Butt; break;
        }
        switch (stroke->linejoin) {
        case FZ_LINEJOIN_ROUND: s.join = Join::Round; break;
        case FZ_LINEJOIN_BEVEL: s.join = Join::Bevel; break;
        default: s.join = Join::Miter; break;
        }
        s.miter_limit = stroke->miterlimit;
        const int n = std::clamp(stroke->dash_len, 0, 32);
        for (int i = 0; i < n; ++i)
            s.dashes.push_back(stroke->dash_list[i] * scale);
        s.dash_phase = stroke->dash_phase * scale;
        sink_->stroke_path(p, s, colour(c));
        return true;
    } catch (const ObjectError &e) {
        return skip("a line", e.what());
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::clip_path(const fz_path *path, int even_odd, fz_matrix ctm) noexcept {
    if (suppressed()) {
        ++suppress_;
        return true;
    }
    // Deeper than the printer keeps: what the clip holds becomes a region.
    if (clips_.size() >= size_t(kMaxClipDepth))
        return clip_other(bound_path(ctx_, path, nullptr, ctm));
    try {
        Path p;
        if (!convert_path(path, ctm, p)) {
            // Unreadable: nothing inside is drawn.
            clip_other(fz_empty_rect);
            return skip("a clip and what it holds", "its path could not be read");
        }
        clips_.push_back(intersect(clip_bounds(), to_rect(bound_path(ctx_, path, nullptr, ctm))));
        sink_->push_clip(p, even_odd != 0);
        return true;
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::clip_other(fz_rect bounds) noexcept { return begin_suppressed(bounds); }

bool MupdfDocument::pop_clip() noexcept {
    if (suppressed())
        return end_suppressed();
    if (clips_.empty())
        return true; // unbalanced content: nothing of ours to close
    clips_.pop_back();
    try {
        sink_->pop_clip();
    } catch (const std::exception &e) {
        return fail(e.what());
    }
    return true;
}

bool MupdfDocument::begin_suppressed(fz_rect bounds, bool tight) noexcept {
    if (suppressed()) {
        ++suppress_;
        return true;
    }
    scope_area_ = intersect(clip_bounds(), to_rect(bounds));
    scope_content_ = Rect{};
    scope_tight_ = tight;
    scope_drawn_ = false;
    suppress_ = 1;
    return true;
}

bool MupdfDocument::note(fz_rect bounds) noexcept {
    const Rect r = to_rect(bounds);
    if (r.empty())
        return true;
    scope_content_ =
        scope_drawn_ ? Rect{std::min(scope_content_.x0, r.x0), std::min(scope_content_.y0, r.y0),
                            std::max(scope_content_.x1, r.x1), std::max(scope_content_.y1, r.y1)}
                     : r;
    scope_drawn_ = true;
    return true;
}

bool MupdfDocument::end_suppressed() noexcept {
    if (suppress_ == 0 || --suppress_ > 0)
        return true;
    if (scope_tight_ && !scope_drawn_)
        return true; // nothing drawn: nothing to show
    const Rect r = scope_tight_ ? intersect(scope_area_, scope_content_) : scope_area_;
    try {
        if (!r.empty())
            sink_->fallback(r);
        return true;
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::begin_group(fz_rect area, int knockout, int blendmode, float alpha) noexcept {
    if (suppressed()) {
        ++suppress_;
        return true;
    }
    // A group that only collects opaque painting in the normal mode looks
    // the same drawn piece by piece.
    (void)knockout;
    if (blendmode == FZ_BLEND_NORMAL && alpha >= 1)
        return true;
    return begin_suppressed(area);
}

bool MupdfDocument::fallback_item(fz_rect bounds) noexcept {
    if (suppressed())
        return note(bounds);
    try {
        const Rect r = intersect(clip_bounds(), to_rect(bounds));
        if (!r.empty())
            sink_->fallback(r);
        return true;
    } catch (const ObjectError &e) {
        return skip("a region", e.what());
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

int MupdfDocument::font_id(fz_font *font) {
    auto it = font_ids_.find(font);
    if (it != font_ids_.end())
        return it->second;
    fonts_.reserve(fonts_.size() + 1);
    const int id = static_cast<int>(fonts_.size());
    font_ids_.emplace(font, id);
    fonts_.push_back(fz_keep_font(ctx_, font));
    return id;
}

bool MupdfDocument::fill_text(const fz_text *text, fz_matrix ctm, fz_colorspace *cs,
                              const float *color, float alpha, fz_color_params params) noexcept {
    if (suppressed())
        return note(bound_text(ctx_, text, nullptr, ctm));
    if (alpha < 1)
        return fallback_item(bound_text(ctx_, text, nullptr, ctm));
    if (sink_->surveying())
        return true; // text becomes a region only when transparent
    try {
        float c[3];
        if (!to_rgb(ctx_, cs, color, params, c))
            return skip("text", "its colour could not be read");
        for (const fz_text_span *span = text->head; span; span = span->next) {
            GlyphRun run;
            run.font = font_id(span->font);
            run.color = rgb_of(c);
            fz_matrix trm = span->trm;
            trm.e = trm.f = 0;
            const fz_matrix m = fz_concat(trm, ctm);
            run.m[0] = m.a;
            run.m[1] = m.b;
            run.m[2] = m.c;
            run.m[3] = m.d;
            run.glyphs.reserve(span->len);
            for (int i = 0; i < span->len; ++i) {
                const fz_text_item &item = span->items[i];
                if (item.gid < 0)
                    continue;
                const fz_point p = fz_transform_point_xy(item.x, item.y, ctm);
                run.glyphs.push_back({item.gid, p.x, p.y});
            }
            if (!run.glyphs.empty() && !sink_->fill_text(run) &&
                !fill_outlines(span, ctm, run.color) && !fill_type3(span, ctm, run.color)) {
                fz_text_span one = *span;
                one.next = nullptr;
                fz_text alone = {1, &one, &one};
                if (!fallback_item(bound_text(ctx_, &alone, nullptr, ctm)))
                    return false;
            }
        }
        return true;
    } catch (const ObjectError &e) {
        return skip("text", e.what());
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::fill_type3(const fz_text_span *span, fz_matrix ctm, Rgb color) {
    fz_font *font = span->font;
    // A glyph may show text of its own font: a few levels at most.
    if (!font->t3procs || !dev_ || type3_depth_ >= 3)
        return false;
    for (int i = 0; i < span->len; ++i) {
        const fz_text_item &item = span->items[i];
        if (item.gid < 0 || item.gid > 255)
            continue;
        fz_matrix trm = span->trm;
        trm.e = item.x;
        trm.f = item.y;
        // A glyph that sets no colour of its own (d1) is a mask.
        const Rgb *outer = glyph_colour_;
        if (font->t3flags && (font->t3flags[item.gid] & FZ_DEVFLAG_MASK))
            glyph_colour_ = &color;
        ++type3_depth_;
        const bool ok = run_t3_glyph(ctx_, font, item.gid, fz_concat(trm, ctm), dev_);
        --type3_depth_;
        glyph_colour_ = outer;
        if (!ok || !failure_.empty())
            return false;
    }
    return true;
}

bool MupdfDocument::fill_outlines(const fz_text_span *span, fz_matrix ctm, Rgb color) {
    Path p;
    for (int i = 0; i < span->len; ++i) {
        const fz_text_item &item = span->items[i];
        if (item.gid < 0)
            continue;
        fz_matrix trm = span->trm;
        trm.e = item.x;
        trm.f = item.y;
        fz_path *outline = glyph_outline(ctx_, span->font, item.gid, fz_concat(trm, ctm));
        if (!outline)
            return false;
        const bool ok = convert_path(outline, fz_identity, p);
        fz_drop_path(ctx_, outline);
        if (!ok)
            return false;
    }
    sink_->fill_path(p, false, color);
    return true;
}

bool MupdfDocument::glyph_bitmap(int font, int glyph, const double m[4], GlyphBitmap &out) {
    if (font < 0 || font >= static_cast<int>(fonts_.size()))
        return false;
    const fz_matrix fm = {float(m[0]), float(m[1]), float(m[2]), float(m[3]), 0, 0};
    out = GlyphBitmap();
    // Measured before it is rendered: its pixels grow with its area.
    const fz_rect box = bound_glyph(ctx_, fonts_[font], glyph, fm);
    if (!fz_is_empty_rect(box) &&
        (!(box.x1 - box.x0 <= kMaxGlyphPixels) || !(box.y1 - box.y0 <= kMaxGlyphPixels))) {
        out.too_large = true;
        return true;
    }
    fz_pixmap *pix = glyph_pixmap(ctx_, fonts_[font], glyph, fm);
    if (!pix)
        return true; // nothing to paint
    bool ok = true;
    try {
        const int w = pix->w, h = pix->h, n = pix->n;
        // A pixel is painted when at least half of it is covered.
        auto inked = [&](int x, int y) {
            return pix->samples[size_t(y) * pix->stride + size_t(x) * n + n - 1] >= 128;
        };
        // Trim blank rows and columns; blank glyphs come back empty.
        int x0 = w, x1 = -1, y0 = h, y1 = -1;
        for (int y = 0; y < h; ++y) {
            int a = 0;
            while (a < w && !inked(a, y))
                ++a;
            if (a == w)
                continue;
            int b = w - 1;
            while (!inked(b, y))
                --b;
            x0 = std::min(x0, a);
            x1 = std::max(x1, b);
            y0 = std::min(y0, y);
            y1 = y;
        }
        if (x1 >= 0) {
            out.width = x1 - x0 + 1;
            out.height = y1 - y0 + 1;
            out.left = pix->x + x0;
            out.top = pix->y + y0;
            const size_t row = (out.width + 7) / 8;
            out.rows.assign(row * out.height, 0);
            for (int y = 0; y < out.height; ++y) {
                uint8_t *bits = &out.rows[y * row];
                const unsigned char *p =
                    pix->samples + size_t(y + y0) * pix->stride + size_t(x0) * n + n - 1;
                int x = 0;
                for (; x + 8 <= out.width; x += 8, p += 8 * n) // whole bytes
                    bits[x / 8] = uint8_t((p[0] >= 128) << 7 | (p[n] >= 128) << 6 |
                                          (p[2 * n] >= 128) << 5 | (p[3 * n] >= 128) << 4 |
                                          (p[4 * n] >= 128) << 3 | (p[5 * n] >= 128) << 2 |
                                          (p[6 * n] >= 128) << 1 | (p[7 * n] >= 128));
                for (; x < out.width; ++x, p += n)
                    bits[x / 8] |= uint8_t((*p >= 128) << (7 - x % 8));
            }
        }
    } catch (...) {
        ok = false;
    }
    fz_drop_pixmap(ctx_, pix);
    return ok;
}

bool MupdfDocument::fill_image(fz_image *image, fz_matrix ctm, float alpha) noexcept {
    if (suppressed())
        return note(fz_transform_rect(fz_unit_rect, ctm));
    if (alpha < 1 || image->mask || image->use_colorkey)
        return fallback_item(fz_transform_rect(fz_unit_rect, ctm));
    if (sink_->surveying())
        return true;
    try {
        Image img;
        img.placement = {ctm.a, ctm.b, ctm.c, ctm.d, ctm.e, ctm.f};
        img.handle = image;
        fz_compressed_buffer *buf = compressed(ctx_, image);
        const int n = image->colorspace ? fz_colorspace_n(ctx_, image->colorspace) : 0;
        if (buf && buf->params.type == FZ_IMAGE_JPEG && buf->buffer && !image->use_decode &&
            (n == 1 || n == 3) && image->bpc == 8 && buf->params.u.jpeg.color_transform != 0 &&
            (n == 1 ? fz_colorspace_is_gray(ctx_, image->colorspace)
                    : fz_colorspace_is_rgb(ctx_, image->colorspace))) {
            int w = 0, h = 0, comps = 0;
            unsigned char *data = nullptr;
            const size_t len = fz_buffer_storage(ctx_, buf->buffer, &data);
            if (sequential_jpeg(data, len, w, h, comps) && comps == n && w == image->w &&
                h == image->h) {
                img.jpeg.assign(data, data + len);
                img.jpeg_components = comps;
                img.jpeg_width = w;
                img.jpeg_height = h;
            }
        }
        if (img.jpeg.empty() && !decode(img))
            return skip("an image", decode_error_.c_str());
        sink_->draw_image(img);
        return true;
    } catch (const ObjectError &e) {
        return skip("an image", e.what());
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

bool MupdfDocument::decode(Image &image) {
    fz_image *fzimg = static_cast<fz_image *>(const_cast<void *>(image.handle));
    if (!fzimg)
        return false;
    const Matrix &m = image.placement;
    char msg[256] = "";
    fz_pixmap *pix =
        image_pixmap(ctx_, fzimg, {float(m.a), float(m.b), float(m.c), float(m.d), 0, 0}, false,
                     msg, sizeof msg);
    if (!pix) {
        decode_error_ = msg;
        return false;
    }
    bool ok = true;
    try {
        Pixels &p = image.pixels;
        p.width = pix->w;
        p.height = pix->h;
        const int n = pix->n - pix->alpha;
        p.components = n >= 3 ? 3 : 1;
        p.data.resize(size_t(p.width) * p.height * p.components);
        for (int y = 0; y < p.height; ++y) {
            const unsigned char *src = pix->samples + size_t(y) * pix->stride;
            uint8_t *dst = &p.data[size_t(y) * p.width * p.components];
            for (int x = 0; x < p.width; ++x, src += pix->n)
                for (int k = 0; k < p.components; ++k)
                    *dst++ = src[k];
        }
    } catch (const std::exception &e) {
        decode_error_ = e.what();
        ok = false;
    }
    fz_drop_pixmap(ctx_, pix);
    return ok;
}

bool MupdfDocument::fill_image_mask(fz_image *image, fz_matrix ctm, fz_colorspace *cs,
                                    const float *color, float alpha,
                                    fz_color_params params) noexcept {
    if (suppressed())
        return note(fz_transform_rect(fz_unit_rect, ctm));
    if (alpha < 1)
        return fallback_item(fz_transform_rect(fz_unit_rect, ctm));
    if (sink_->surveying())
        return true;
    char msg[256] = "";
    float c[3];
    if (!to_rgb(ctx_, cs, color, params, c))
        return skip("an image mask", "its colour could not be read");
    fz_pixmap *pix = image_pixmap(ctx_, image, ctm, true, msg, sizeof msg);
    if (!pix)
        return skip("an image mask", msg);
    bool ok = true;
    try {
        Pixels mask;
        mask.width = pix->w;
        mask.height = pix->h;
        mask.components = 1;
        mask.data.resize(size_t(mask.width) * mask.height);
        for (int y = 0; y < mask.height; ++y)
            for (int x = 0; x < mask.width; ++x)
                mask.data[size_t(y) * mask.width + x] =
                    pix->samples[size_t(y) * pix->stride + size_t(x) * pix->n + pix->n - 1];
        sink_->draw_image_mask(mask, {ctm.a, ctm.b, ctm.c, ctm.d, ctm.e, ctm.f}, colour(c));
    } catch (const ObjectError &e) {
        ok = skip("an image mask", e.what());
    } catch (const std::exception &e) {
        ok = fail(e.what());
    }
    fz_drop_pixmap(ctx_, pix);
    return ok;
}

bool MupdfDocument::render_page(int index, const Matrix &ctm, const Rect &device_area, double scale,
                                Pixels &out, std::string &error) {
    if (!list_ || list_index_ != index) {
        double w, h;
        if (!page_size(index, w, h, error))
            return false;
    }
    ctm_ = ctm;
    const bool ok = render_region(device_area, scale, out);
    fz_drop_display_list(ctx_, list_);
    list_ = nullptr;
    if (!ok)
        error = "the page could not be rendered";
    return ok;
}

bool MupdfDocument::render_region(const Rect &area, double scale, Pixels &out) {
    if (!list_)
        return false;
    const fz_irect box = {int(std::floor(area.x0 * scale)), int(std::floor(area.y0 * scale)),
                          int(std::ceil(area.x1 * scale)), int(std::ceil(area.y1 * scale))};
    if (box.x1 <= box.x0 || box.y1 <= box.y0)
        return false;
    Matrix m = ctm_;
    m.a *= scale;
    m.b *= scale;
    m.c *= scale;
    m.d *= scale;
    m.e *= scale;
    m.f *= scale;
    fz_pixmap *pix = render_list(ctx_, list_, to_fz(m), box, managed_cmyk_);
    if (!pix)
        return false;
    bool ok = true;
    try {
        out.width = pix->w;
        out.height = pix->h;
        out.components = 3;
        out.data.resize(size_t(out.width) * out.height * 3);
        for (int y = 0; y < out.height; ++y)
            std::memcpy(&out.data[size_t(y) * out.width * 3],
                        pix->samples + size_t(y) * pix->stride, size_t(out.width) * 3);
    } catch (...) {
        ok = false;
    }
    fz_drop_pixmap(ctx_, pix);
    return ok;
}

} // namespace

std::unique_ptr<Document> open_document(const unsigned char *data, size_t size,
                                        const EngineLimits &limits,
                                        void (*warn)(const char *line, void *user), void *user,
                                        std::string &error) {
    auto doc = std::make_unique<MupdfDocument>(limits.memory_bytes, warn, user);
    if (!doc->open(data, size, error))
        return nullptr;
    return doc;
}

} // namespace pclxl::pdf
