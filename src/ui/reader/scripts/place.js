// Page script of the reader: where the reader is in a document, and going
// back there. A place is { path, offset, fraction }: the path of an element
// below the body (element indices, "/" for the body itself), the number of
// characters of that element's text before the first line at the top of the
// view, and the scroll fraction of the document as a fallback.
//
// The place the reader chose is kept until the reader scrolls: when the
// document is laid out again (another font size, a narrower window, a
// style sheet or picture arriving late) the same text is brought back to
// the top.
(function () {
    'use strict';
    // Elements the reader's own scripts put into a page; they wrap text
    // only and are not counted in paths.
    var READER_CLASSES = ['qmHighlight', 'qmSearchHighlight'];
    var kept = null; // the place to hold at the top, until the reader scrolls
    var ownScrollY = null; // where the last scroll of this script went
    var captureTimer = 0;

    function inserted(el) {
        if (!el.classList)
            return false;
        for (var i = 0; i < READER_CLASSES.length; ++i)
            if (el.classList.contains(READER_CLASSES[i]))
                return true;
        return false;
    }

    function scrollRoot() {
        return document.scrollingElement || document.documentElement;
    }

    function maxScroll() {
        return Math.max(0, scrollRoot().scrollHeight - window.innerHeight);
    }

    function currentFraction() {
        var max = maxScroll();
        if (max <= 0)
            return 1;
        var y = window.scrollY;
        return y >= max - 1 ? 1 : Math.min(1, Math.max(0, y / max));
    }

    function pathOf(el) {
        var parts = [];
        while (el && el !== document.body) {
            var i = 0;
            for (var s = el.previousElementSibling; s; s = s.previousElementSibling)
                if (!inserted(s))
                    ++i;
            parts.unshift(i);
            el = el.parentElement;
        }
        if (el !== document.body)
            return null;
        return '/' + parts.join('/');
    }

    function elementAt(path) {
        var el = document.body;
        if (!el || typeof path !== 'string' || path.charAt(0) !== '/')
            return null;
        var parts = path.split('/').slice(1);
        for (var k = 0; k < parts.length; ++k) {
            if (parts[k] === '')
                continue;
            var want = parseInt(parts[k], 10), i = 0, c;
            for (c = el.firstElementChild; c; c = c.nextElementSibling) {
                if (inserted(c))
                    continue;
                if (i === want)
                    break;
                ++i;
            }
            if (!c)
                return null;
            el = c;
        }
        return el;
    }

    function skipped(node) {
        for (var p = node.parentNode; p; p = p.parentNode) {
            var name = p.nodeName.toUpperCase();
            if (name === 'SCRIPT' || name === 'STYLE' || name === 'NOSCRIPT' || name === 'HEAD')
                return true;
        }
        return false;
    }

    function rangeRect(node, start, end) {
        var r = document.createRange();
        r.setStart(node, start);
        r.setEnd(node, end);
        return r.getBoundingClientRect();
    }

    function shown(rect) {
        return rect.width > 0 || rect.height > 0;
    }

    // The first text position on a line that reaches below the top of the
    // view: text nodes run down the page in document order, so both the
    // node and the character are found by halving.
    function firstVisible() {
        if (!document.body)
            return null;
        var nodes = [];
        var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, null);
        for (var n = walker.nextNode(); n; n = walker.nextNode())
            if (/\S/.test(n.data) && !skipped(n))
                nodes.push(n);
        if (!nodes.length)
            return null;
        var lo = 0, hi = nodes.length - 1;
        while (lo < hi) {
            var mid = (lo + hi) >> 1;
            var r = rangeRect(nodes[mid], 0, nodes[mid].data.length);
            if (shown(r) && r.bottom > 0.5)
                hi = mid;
            else
                lo = mid + 1;
        }
        var node = nodes[lo];
        var a = 0, b = node.data.length - 1;
        while (a < b) {
            var m = (a + b) >> 1;
            var cr = rangeRect(node, m, m + 1);
            if (shown(cr) && cr.bottom > 0.5)
                b = m;
            else
                a = m + 1;
        }
        return { node: node, offset: a };
    }

    function anchorElement(node) {
        var el = node.parentElement;
        while (el && inserted(el))
            el = el.parentElement;
        return el;
    }

    function measure() {
        var place = { fraction: currentFraction() };
        var at = firstVisible();
        var el = at && anchorElement(at.node);
        var path = el && pathOf(el);
        if (path) {
            var before = document.createRange();
            before.setStart(el, 0);
            before.setEnd(at.node, at.offset);
            place.path = path;
            place.offset = before.toString().length;
        }
        return place;
    }

    function scrollToY(y) {
        var target = Math.max(0, Math.min(maxScroll(), Math.round(y)));
        window.scrollTo(0, target);
        ownScrollY = window.scrollY;
    }

    // The text position `offset` characters into `el`, or null.
    function positionIn(el, offset) {
        var walker = document.createTreeWalker(el, NodeFilter.SHOW_TEXT, null);
        var rest = offset, last = null;
        for (var n = walker.nextNode(); n; n = walker.nextNode()) {
            if (rest < n.data.length)
                return { node: n, offset: rest };
            rest -= n.data.length;
            last = n;
        }
        if (rest === 0 && last)
            return { node: last, offset: Math.max(0, last.data.length - 1) };
        return null;
    }

    function topOf(pos) {
        // Collapsed white space has no box: the next character that has one.
        var node = pos.node;
        for (var i = pos.offset; i < node.data.length; ++i) {
            var r = rangeRect(node, i, i + 1);
            if (shown(r))
                return r.top;
        }
        var box = anchorElement(node).getBoundingClientRect();
        return box.top;
    }

    function apply(place) {
        var el = place.path ? elementAt(place.path) : null;
        var pos = el ? positionIn(el, place.offset || 0) : null;
        if (pos)
            scrollToY(window.scrollY + topOf(pos));
        else
            scrollToY((place.fraction || 0) * maxScroll());
        // A place by its fraction only is anchored to the text it led to.
        kept = pos ? { path: place.path, offset: place.offset || 0, fraction: currentFraction() } : measure();
        return !!pos;
    }

    function reveal() {
        if (document.documentElement)
            document.documentElement.style.removeProperty('visibility');
    }

    // The place shown now, as JSON: the kept one while the reader has not
    // scrolled since, else measured.
    window.qmCurrentPlace = function () {
        if (!kept)
            kept = measure();
        var out = { fraction: currentFraction() };
        if (kept.path) {
            out.path = kept.path;
            out.offset = kept.offset;
        }
        return JSON.stringify(out);
    };

    // Brings `place` to the top of the view and shows the page; true when
    // its anchor was found (else its fraction was used).
    window.qmApplyPlace = function (place) {
        var found = apply(place || {});
        reveal();
        return found;
    };

    window.addEventListener('scroll', function () {
        if (ownScrollY !== null && Math.abs(window.scrollY - ownScrollY) < 1)
            return;
        ownScrollY = null;
        kept = null;
        clearTimeout(captureTimer);
        // Measured once the scrolling stops, before any later relayout.
        captureTimer = setTimeout(function () {
            if (!kept)
                kept = measure();
        }, 80);
    }, { passive: true });

    function relaidOut() {
        if (kept)
            apply(kept);
    }
    if (typeof ResizeObserver === 'function') {
        var observer = new ResizeObserver(relaidOut);
        observer.observe(document.documentElement);
        if (document.body)
            observer.observe(document.body);
    }

    // A place asked for before the document was made: shown at the first
    // layout, again once pictures and style sheets are in, then the page
    // is revealed.
    var pending = window.qmPendingPlace;
    if (pending) {
        window.qmPendingPlace = null;
        apply(pending);
        if (document.readyState === 'complete') {
            reveal();
        } else {
            window.addEventListener('load', function () {
                relaidOut();
                reveal();
            }, { once: true });
            setTimeout(reveal, 3000);
        }
    }
})();
