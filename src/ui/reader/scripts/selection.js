// Page script of the reader: numbers the text of a book page and draws the
// reader's highlights over it. It runs in a JavaScript world of its own, so
// the book's scripts can neither call nor replace these functions; the
// reader evaluates them by name and reads back their string results.
//
// Text positions are (node number, offset) pairs. Nodes are the non-blank
// text nodes of the body in document order, counted when the page is first
// ready, so the same page always numbers the same way. Drawing a highlight
// splits text nodes; the pieces keep the number and offsets of the node they
// came from, so positions stay valid however many highlights are drawn.
(function () {
    'use strict';
    var HIGHLIGHT_CLASS = 'qmHighlight';
    var ID_ATTRIBUTE = 'data-qm-id';
    var colours = {
        highlight_color1: 'background-color: rgba(255, 230, 0, 0.45);',
        memo_color1: 'background-color: rgba(255, 150, 40, 0.45); border-bottom: 1px dotted #c05000;'
    };
    var place = new WeakMap(); // text node -> { no, base }
    var pieces = [];           // node number -> text nodes holding its text, in order

    function skipped(node) {
        for (var p = node.parentNode; p; p = p.parentNode) {
            var name = p.nodeName.toUpperCase(); // lower case in XHTML
            if (name === 'SCRIPT' || name === 'STYLE' || name === 'NOSCRIPT' || name === 'HEAD')
                return true;
        }
        return false;
    }

    function numberTextNodes() {
        if (!document.body)
            return;
        var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, null);
        var no = 0;
        for (var n = walker.nextNode(); n; n = walker.nextNode()) {
            if (!/\S/.test(n.data) || skipped(n))
                continue;
            no += 1;
            place.set(n, { no: no, base: 0 });
            pieces[no] = [n];
        }
    }

    // The position of a range boundary: inside a numbered text node its own
    // offset; elsewhere the start of the next numbered text (for a start) or
    // the end of the previous one (for an end). Null when there is none.
    function boundary(container, offset, atEnd) {
        if (container.nodeType === Node.TEXT_NODE && place.has(container)) {
            var p = place.get(container);
            return { no: p.no, offset: p.base + offset };
        }
        var point = document.createRange();
        point.setStart(container, offset);
        var last = null;
        for (var no = 1; no < pieces.length; ++no) {
            var list = pieces[no];
            for (var i = 0; i < list.length; ++i) {
                var node = list[i];
                var b = place.get(node).base;
                if (!atEnd && point.comparePoint(node, 0) >= 0)
                    return { no: no, offset: b };
                if (atEnd) {
                    if (point.comparePoint(node, node.data.length) > 0)
                        return last;
                    last = { no: no, offset: b + node.data.length };
                }
            }
        }
        return atEnd ? last : null;
    }

    function selectionRange() {
        var sel = window.getSelection();
        if (!sel || sel.rangeCount === 0 || sel.isCollapsed)
            return null;
        return sel.getRangeAt(0);
    }

    window.getSelectionStartQmNodeInfo = function () {
        var r = selectionRange();
        var b = r && boundary(r.startContainer, r.startOffset, false);
        if (!b)
            return 'false';
        return JSON.stringify({ startQmNodeNo: b.no, startQmNodeOffset: b.offset });
    };

    window.getSelectionEndQmNodeInfo = function () {
        var r = selectionRange();
        var b = r && boundary(r.endContainer, r.endOffset, true);
        if (!b)
            return 'false';
        return JSON.stringify({ endQmNodeNo: b.no, endQmNodeOffset: b.offset });
    };

    // Splits a piece at a logical offset inside it; returns the second part.
    function splitPiece(no, index, at) {
        var node = pieces[no][index];
        var p = place.get(node);
        var rest = node.splitText(at - p.base);
        place.set(rest, { no: no, base: at });
        pieces[no].splice(index + 1, 0, rest);
        return rest;
    }

    // Splits any text node `at` characters in, keeping the numbering of a
    // numbered one; for the other page scripts of this world.
    window.qmSplitText = function (node, at) {
        var p = place.get(node);
        if (!p)
            return node.splitText(at);
        return splitPiece(p.no, pieces[p.no].indexOf(node), p.base + at);
    };

    function wrap(node, id, colour, attrs) {
        var span = document.createElement('span');
        // The kind of mark as a class too: the reader's style sheet gives
        // each kind the colour that reads on the reading theme.
        span.className = HIGHLIGHT_CLASS + (colour === 'memo_color1' ? ' qmMemo' : ' qmMark');
        span.setAttribute(ID_ATTRIBUTE, String(id));
        span.setAttribute('style', colours[colour] || colours.highlight_color1);
        if (attrs && attrs.memotext)
            span.title = attrs.memodate ? attrs.memodate + '\n' + attrs.memotext : attrs.memotext;
        node.parentNode.insertBefore(span, node);
        span.appendChild(node);
    }

    // Draws a highlight over [start, end); false when the range names no
    // text of this page.
    window.setHighlight = function (id, colour, startNo, startOffset, endNo, endOffset, attrs) {
        if (typeof attrs === 'string') {
            try { attrs = JSON.parse(attrs); } catch (e) { attrs = {}; }
        }
        var drawn = false;
        for (var no = Math.max(1, startNo); no <= endNo && no < pieces.length; ++no) {
            var list = pieces[no];
            if (!list)
                continue;
            var from = no === startNo ? startOffset : 0;
            var to = no === endNo ? endOffset : Infinity;
            for (var i = 0; i < list.length; ++i) {
                var node = list[i];
                var base = place.get(node).base;
                var len = node.data.length;
                var a = Math.max(from, base), b = Math.min(to, base + len);
                if (a >= b)
                    continue;
                if (a > base) {
                    splitPiece(no, i, a);
                    ++i;
                    node = list[i];
                    base = a;
                    len = node.data.length;
                }
                if (b < base + len)
                    splitPiece(no, i, b);
                wrap(node, id, colour, attrs);
                drawn = true;
            }
        }
        return drawn ? 'true' : 'false';
    };

    window.removeHighlight = function (id) {
        var spans = document.querySelectorAll('span.' + HIGHLIGHT_CLASS);
        var removed = 0;
        for (var i = 0; i < spans.length; ++i) {
            var span = spans[i];
            if (span.getAttribute(ID_ATTRIBUTE) !== String(id))
                continue;
            while (span.firstChild)
                span.parentNode.insertBefore(span.firstChild, span);
            span.parentNode.removeChild(span);
            ++removed;
        }
        return String(removed);
    };

    // Removes the marks of the highlights numbered in `numbers`, whatever
    // device made them.
    window.removeOldQmNodeNoMemoSpan = function (numbers) {
        var wanted = {};
        (numbers || []).forEach(function (n) { wanted[String(n)] = true; });
        var ids = {};
        var spans = document.querySelectorAll('span.' + HIGHLIGHT_CLASS);
        for (var i = 0; i < spans.length; ++i) {
            var id = spans[i].getAttribute(ID_ATTRIBUTE);
            if (wanted[id.split('_')[0]])
                ids[id] = true;
        }
        Object.keys(ids).forEach(window.removeHighlight);
        return String(Object.keys(ids).length);
    };

    // The identifier of the highlight under the selection, or "false".
    window.isSellectionHighlighMemoed = function () {
        var sel = window.getSelection();
        if (!sel || sel.rangeCount === 0)
            return 'false';
        for (var n = sel.getRangeAt(0).startContainer; n; n = n.parentNode) {
            if (n.nodeType === Node.ELEMENT_NODE && n.classList.contains(HIGHLIGHT_CLASS))
                return n.getAttribute(ID_ATTRIBUTE);
        }
        return 'false';
    };

    // The identifier of the highlight at a point of the view, else the one
    // under the selection, else "false" (the reader's context menu).
    window.qmHighlightAt = function (x, y) {
        for (var el = document.elementFromPoint(x, y); el; el = el.parentElement) {
            if (el.classList && el.classList.contains(HIGHLIGHT_CLASS))
                return el.getAttribute(ID_ATTRIBUTE);
        }
        return window.isSellectionHighlighMemoed();
    };

    // Removes every highlight mark of the page (before they are drawn
    // again from the library).
    window.qmClearHighlights = function () {
        var spans = document.querySelectorAll('span.' + HIGHLIGHT_CLASS);
        for (var i = 0; i < spans.length; ++i) {
            var span = spans[i];
            while (span.firstChild)
                span.parentNode.insertBefore(span.firstChild, span);
            span.parentNode.removeChild(span);
        }
        return String(spans.length);
    };

    // Scrolls the first mark of a highlight into view; "false" without one.
    window.qmScrollToHighlight = function (id) {
        var spans = document.querySelectorAll('span.' + HIGHLIGHT_CLASS);
        for (var i = 0; i < spans.length; ++i) {
            if (spans[i].getAttribute(ID_ATTRIBUTE) === String(id)) {
                spans[i].scrollIntoView({ block: 'center' });
                return 'true';
            }
        }
        return 'false';
    };

    // The numbered texts of the page as a JSON array (node 1 first), as
    // they were before any highlight split them.
    window.qmNodeTexts = function () {
        var out = [];
        for (var no = 1; no < pieces.length; ++no)
            out.push((pieces[no] || []).map(function (n) { return n.data; }).join(''));
        return JSON.stringify(out);
    };

    // The address of the image at a point of the view, or "" (image viewer).
    window.qmImageAt = function (x, y) {
        var el = document.elementFromPoint(x, y);
        for (; el; el = el.parentElement) {
            if (el.nodeName.toUpperCase() === 'IMG')
                return el.currentSrc || el.src || '';
            if (el.nodeName.toLowerCase() === 'image') { // SVG <image>
                var href = el.getAttribute('href') || el.getAttributeNS('http://www.w3.org/1999/xlink', 'href');
                return href ? new URL(href, document.baseURI).href : '';
            }
        }
        return '';
    };

    // Where the page was when a link to a place in a document was
    // followed; the reader takes it once the jump has happened (an in-page
    // jump loads nothing it could see coming).
    var jumpOffset = -1;
    window.addEventListener('click', function (event) {
        var link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
        if (link && link.getAttribute('href').indexOf('#') >= 0)
            jumpOffset = Math.round(window.pageYOffset);
    }, true);
    window.qmTakeJumpOffset = function () {
        var offset = jumpOffset;
        jumpOffset = -1;
        return offset;
    };

    numberTextNodes();
})();
