// Melorin's player face: puts a compact player in place of each RealPlayer or Windows Media
// Player object that the page file holds and drives the native player through the bridge. Runs
// once, when the document is ready, in its own script world; the page's scripts cannot reach
// the bridge, and objects they add get no player. Without a bridge (any page but Melorin's
// own) it leaves the page alone.
(function () {
    'use strict';
    if (typeof qt === 'undefined' || !qt.webChannelTransport) return;

    var REAL = 'clsid:cfcdaa03-8be4-11cf-b84b-0020afbbccfa';
    var WINDOWS_MEDIA = 'clsid:22d6f312-b0f6-11d0-94ab-0080c74c7e95';
    var SVG = 'http://www.w3.org/2000/svg';
    var ICONS = {
        previous: 'M3 2h2v12H3zM14 2v12L6 8z',
        play: 'M4 2l10 6-10 6z',
        pause: 'M3 2h4v12H3zM9 2h4v12H9z',
        stop: 'M3 3h10v10H3z',
        next: 'M11 2h2v12h-2zM2 2l8 6-8 6z',
        volume: 'M2 6h3l4-4v12l-4-4H2zM11 5q2 3 0 6l1 1q3-4 0-8z'
    };
    var STYLE =
        '.melorin-player{box-sizing:border-box;display:inline-flex;flex-direction:column;' +
        'justify-content:center;gap:2px;padding:2px 6px;overflow:hidden;vertical-align:top;' +
        'background:linear-gradient(#2b333d,#1b2027);color:#e6ebf0;border-radius:4px;' +
        'font:12px/16px "WenQuanYi Micro Hei",sans-serif;user-select:none}' +
        '.melorin-player *{box-sizing:border-box}' +
        '.melorin-player .mp-top{display:flex;gap:6px;white-space:nowrap;min-width:0}' +
        '.melorin-player .mp-count{color:#8fa1b3}' +
        '.melorin-player .mp-title{overflow:hidden;text-overflow:ellipsis;flex:0 1 auto}' +
        '.melorin-player .mp-message{color:#ff9c8a;overflow:hidden;text-overflow:ellipsis;' +
        'flex:1 1 0}' +
        '.melorin-player .mp-bar{display:flex;align-items:center;gap:3px;min-width:0}' +
        '.melorin-player button{width:22px;height:20px;padding:0;border:0;border-radius:3px;' +
        'background:#3a4552;color:#e6ebf0;display:flex;align-items:center;' +
        'justify-content:center;cursor:pointer;flex:none}' +
        '.melorin-player button:hover{background:#4d5b6b}' +
        '.melorin-player svg{width:12px;height:12px;fill:currentColor}' +
        '.melorin-player input[type=range]{height:14px;margin:0;accent-color:#5fb3f0;min-width:0}' +
        '.melorin-player .mp-seek{flex:1 1 auto}' +
        '.melorin-player .mp-volume{flex:0 0 52px;width:52px}' +
        '.melorin-player .mp-time{font-variant-numeric:tabular-nums;color:#c8d2dc;flex:none}' +
        '.melorin-player .mp-speaker{flex:none;display:flex;color:#8fa1b3}';

    function paramValue(object, names) {
        var params = object.getElementsByTagName('param');
        for (var i = 0; i < params.length; i++) {
            var name = (params[i].getAttribute('name') || '').trim().toLowerCase();
            if (names.indexOf(name) >= 0) return params[i].getAttribute('value') || '';
        }
        return null;
    }

    function sizeOf(object, attribute, fallback) {
        var n = parseInt(object.getAttribute(attribute) || '', 10);
        return n > 0 ? n : fallback;
    }

    function icon(name) {
        var svg = document.createElementNS(SVG, 'svg');
        svg.setAttribute('viewBox', '0 0 16 16');
        var path = document.createElementNS(SVG, 'path');
        path.setAttribute('d', ICONS[name]);
        svg.appendChild(path);
        return svg;
    }

    function element(tag, className, parent) {
        var e = document.createElement(tag);
        if (className) e.className = className;
        if (parent) parent.appendChild(e);
        return e;
    }

    function button(name, hint, parent) {
        var b = element('button', 'mp-' + name, parent);
        b.type = 'button';
        b.title = hint;
        b.appendChild(icon(name));
        return b;
    }

    function clock(ms) {
        var s = Math.max(0, Math.floor((ms || 0) / 1000));
        var m = Math.floor(s / 60);
        s = s % 60;
        return m + ':' + (s < 10 ? '0' : '') + s;
    }

    function Face(width, height) {
        var root = element('div', 'melorin-player');
        root.style.width = width + 'px';
        root.style.height = height + 'px';
        var top = element('div', 'mp-top', root);
        this.count = element('span', 'mp-count', top);
        this.title = element('span', 'mp-title', top);
        this.message = element('span', 'mp-message', top);
        var bar = element('div', 'mp-bar', root);
        this.previous = button('previous', '上一首', bar);
        this.play = button('play', '播放/暂停', bar);
        this.stop = button('stop', '停止', bar);
        this.next = button('next', '下一首', bar);
        this.seek = element('input', 'mp-seek', bar);
        this.seek.type = 'range';
        this.seek.min = 0;
        this.seek.max = 0;
        this.seek.value = 0;
        this.seek.title = '播放进度';
        this.time = element('span', 'mp-time', bar);
        this.time.textContent = '0:00 / 0:00';
        var speaker = element('span', 'mp-speaker', bar);
        speaker.appendChild(icon('volume'));
        this.volume = element('input', 'mp-volume', bar);
        this.volume.type = 'range';
        this.volume.min = 0;
        this.volume.max = 100;
        this.volume.value = 100;
        this.volume.title = '音量';
        this.root = root;
        this.seeking = false;
        this.playing = null;
    }

    Face.prototype.bind = function (bridge, id) {
        var face = this;
        this.previous.onclick = function () { bridge.previous(id); };
        this.play.onclick = function () { bridge.playPause(id); };
        this.stop.onclick = function () { bridge.stop(id); };
        this.next.onclick = function () { bridge.next(id); };
        this.seek.oninput = function () { face.seeking = true; };
        this.seek.onchange = function () {
            face.seeking = false;
            bridge.seek(id, Number(face.seek.value));
        };
        this.volume.oninput = function () { bridge.setVolume(id, Number(face.volume.value)); };
    };

    // Writes only what changed: every write costs the page a new layout.
    function put(target, key, value) {
        if (target[key] !== value) target[key] = value;
    }

    Face.prototype.show = function (s) {
        put(this.count, 'textContent', s.count > 1 ? s.index + '/' + s.count : '');
        put(this.title, 'textContent', s.title || '');
        put(this.message, 'textContent', s.message || '');
        put(this.message, 'title', s.message || '');
        var playing = s.state === 'playing';
        if (playing !== this.playing) {
            this.playing = playing;
            this.play.replaceChild(icon(playing ? 'pause' : 'play'), this.play.firstChild);
        }
        put(this.seek, 'max', String(s.duration > 0 ? s.duration : 0));
        put(this.seek, 'disabled', !s.seekable);
        if (!this.seeking) put(this.seek, 'value', String(s.position));
        put(this.time, 'textContent', clock(s.position) + ' / ' + clock(s.duration));
        if (document.activeElement !== this.volume) put(this.volume, 'value', String(s.volume));
    };

    function trimmed(text) {
        return text.replace(/^[ \t\r\n\f\v]+|[ \t\r\n\f\v]+$/g, '');
    }

    // Whether a document's target is the one the page file names. The browser may guess any
    // encoding for the page: a target of ASCII reads the same in all of them; of any other
    // only the characters below "@" are sure (no GBK character holds such a byte).
    function sameTarget(fileTarget, target) {
        if (/^[\x00-\x7f]*$/.test(fileTarget)) return fileTarget === target;
        var sure = function (text) { return text.replace(/[^\x00-\x3f]/g, ''); };
        return sure(fileTarget) === sure(target);
    }

    // The document's player objects that the page file holds, matched in order by player and
    // target. An object that a script of the page added matches none and stays as it is.
    function replaceObjects(fileObjects) {
        var found = [];
        var next = 0;
        var objects = Array.prototype.slice.call(document.getElementsByTagName('object'));
        objects.forEach(function (object) {
            if (!object.parentNode) return;  // inside an object replaced before
            var classId = (object.getAttribute('classid') || '').trim().toLowerCase();
            var real = classId === REAL;
            if (!real && classId !== WINDOWS_MEDIA) return;
            var target = trimmed(paramValue(object, real ? ['src'] : ['filename', 'url']) || '');
            var index = next;
            while (index < fileObjects.length &&
                   (fileObjects[index].real !== real ||
                    !sameTarget(fileObjects[index].target, target))) {
                index++;
            }
            if (index >= fileObjects.length) return;
            next = index + 1;
            var face = new Face(sizeOf(object, 'width', 300), sizeOf(object, 'height', 50));
            object.parentNode.replaceChild(face.root, object);
            found.push({face: face, index: index});
        });
        if (found.length) {
            var style = document.createElement('style');
            style.textContent = STYLE;
            (document.head || document.documentElement).appendChild(style);
        }
        return found;
    }

    new QWebChannel(qt.webChannelTransport, function (channel) {
        var bridge = channel.objects.melorinPlayer;
        if (!bridge) return;  // not one of Melorin's own pages
        var faces = {};
        bridge.update.connect(function (id, state) {
            if (faces[id]) faces[id].show(state);
        });
        bridge.objects(function (fileObjects) {
            replaceObjects(fileObjects || []).forEach(function (item) {
                bridge.attach(item.index, function (id) {
                    if (id < 0) return;
                    faces[id] = item.face;
                    item.face.bind(bridge, id);
                    bridge.refresh(id);
                });
            });
        });
    });
})();
