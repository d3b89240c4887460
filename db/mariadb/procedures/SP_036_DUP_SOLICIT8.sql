-- params: Nota_Fiscal_ID, Num_Container, Tab_Tipo_Container_ID, Solicit_Embarque_Container_ID, Ordem_Servico_ID
-- Whether a container the closing reports is already on another container
-- request of an order still open (one with a service-type record not yet
-- closed or cancelled): a container cannot be on two transports at once.
-- Its own request does not count; a request of a closed or cancelled order
-- no longer holds the container. The number is what identifies a container,
-- so neither the type nor an invoice (the closing sends none) changes the
-- answer: those two, and the order, are taken as whatever they come as.
-- Always answers one row: retorno 0, or 1 with the reason in Msg_Ret.
CREATE PROCEDURE SP_036_DUP_SOLICIT8(IN p_Nota_Fiscal_ID TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                     IN p_Num_Container TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                     IN p_Tab_Tipo_Container_ID TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                     IN p_Solicit_Embarque_Container_ID INT,
                                     IN p_Ordem_Servico_ID TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  READS SQL DATA
BEGIN
  DECLARE v_numero TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT UPPER_ASCII(TRIM(p_Num_Container));
  SELECT CASE WHEN o.NUM_OS IS NULL THEN 0 ELSE 1 END AS retorno,
         CONCAT('O container ', v_numero,
                ' já está na solicitação de embarque ', o.SOLICIT_EMBARQUE_CONTAINER_ID,
                ' da ordem de serviço ', o.NUM_OS, ', ainda aberta.') AS Msg_Ret
    FROM (SELECT 1 AS um) AS uma
    LEFT JOIN (SELECT sec.SOLICIT_EMBARQUE_CONTAINER_ID, os.NUM_OS
                 FROM CONTAINER c
                 JOIN SOLICIT_EMBARQUE_CONTAINER sec ON sec.CONTAINER_ID = c.CONTAINER_ID
                 JOIN ORDEM_SERVICO os               ON os.ORDEM_SERVICO_ID = sec.ORDEM_SERVICO_ID
                WHERE c.NUM_CONTAINER = v_numero COLLATE utf8mb4_general_ci
                  AND NOT (sec.SOLICIT_EMBARQUE_CONTAINER_ID <=> p_Solicit_Embarque_Container_ID)
                  AND EXISTS (SELECT 1
                                FROM ORDEM_SERVICO_TIPO ost
                               WHERE ost.ORDEM_SERVICO_ID = os.ORDEM_SERVICO_ID
                                 AND ost.TAB_STATUS_OS_TIPO_ID = 1)
                ORDER BY sec.SOLICIT_EMBARQUE_CONTAINER_ID
                LIMIT 1) AS o ON TRUE;
END
