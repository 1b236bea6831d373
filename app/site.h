#pragma once
// The publisher's site, named once: the link label's text, the address it opens and the
// version resource's contact line all derive from it. Plain macros, so that the resource
// compiler can use them too.

#define VARNHOLT_SITE_HOST "example.com"
#define VARNHOLT_SITE_ADDRESS "http://" VARNHOLT_SITE_HOST "/"
#define VARNHOLT_SITE_LINK_TEXT "Freeware from " VARNHOLT_SITE_HOST
