-- Run once on a new database, after the schema versions: the records every
-- installation starts with. The identities below are fixed; each table's
-- sequence is moved past them so that new rows never collide.

-- The well-known domains: 0 "Administrators" (every object belongs to it
-- and its members may do everything) and 1 "Observers". Both are roles
-- (DOMAIN_TYPE 1); a domain's OID is its domain id.
INSERT INTO osk_domain_name_id (PK, OID, DOMAIN_ID, NAME) VALUES (0, 0, 0, 'Administrators');
INSERT INTO osk_domain_name_id (PK, OID, DOMAIN_ID, NAME) VALUES (1, 1, 1, 'Observers');
INSERT INTO osk_domains (PK, OID, MOD_TIME, PRIORITY, NAME, DESCRIPTION, DOMAIN_TYPE, NAME_ID_REF)
    VALUES (0, 0, CURRENT_TIMESTAMP, 0, 'Administrators', 'Members may do everything.', 1, 0);
INSERT INTO osk_domains (PK, OID, MOD_TIME, PRIORITY, NAME, DESCRIPTION, DOMAIN_TYPE, NAME_ID_REF)
    VALUES (1, 1, CURRENT_TIMESTAMP, 1, 'Observers', 'Every console user.', 1, 1);

-- The well-known domain groups.
INSERT INTO osk_domain_groups (PK, OID, MOD_TIME, NAME, DESCRIPTION)
    VALUES (0, 0, CURRENT_TIMESTAMP, 'All', 'Every domain.');
INSERT INTO osk_domain_groups (PK, OID, MOD_TIME, NAME, DESCRIPTION)
    VALUES (1, 1, CURRENT_TIMESTAMP, 'Operators', 'Domains of the operators.');
INSERT INTO osk_domain_groups (PK, OID, MOD_TIME, NAME, DESCRIPTION)
    VALUES (2, 2, CURRENT_TIMESTAMP, 'Device Specific', 'Domains of single devices.');

-- The next value of a sequence is one above the value it is restarted with.
ALTER SEQUENCE osk_domain_name_id RESTART WITH 1;
ALTER SEQUENCE osk_domains RESTART WITH 1;
ALTER SEQUENCE osk_domain_groups RESTART WITH 2;
